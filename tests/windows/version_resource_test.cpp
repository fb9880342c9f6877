// The version resource as Windows reads it: the fixed numbers, the strings of the language the
// translation table names, and that table.

#include <gtest/gtest.h>

#include "common/win32.h"

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> own_version_info()
{
	wchar_t path[MAX_PATH];
	const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
	if (length == 0 || length == MAX_PATH)
		return {};
	DWORD ignored = 0;
	const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
	std::vector<unsigned char> info(size);
	if (size == 0 || !GetFileVersionInfoW(path, 0, size, info.data()))
		return {};
	return info;
}

std::wstring string_value(std::vector<unsigned char> &info, const std::wstring &block)
{
	void *value = nullptr;
	UINT length = 0;
	if (!VerQueryValueW(info.data(), block.c_str(), &value, &length) || length == 0)
		return {};
	return static_cast<const wchar_t *>(value);
}

std::wstring widen(const char *text)
{
	return std::wstring(text, text + std::char_traits<char>::length(text));
}

} // namespace

TEST(VersionResource, CarriesTheProjectVersionAsWindowsReadsIt)
{
	std::vector<unsigned char> info = own_version_info();
	ASSERT_FALSE(info.empty()) << "no version resource, error " << GetLastError();

	void *value = nullptr;
	UINT length = 0;
	ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &length));
	ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
	const auto *fixed = static_cast<const VS_FIXEDFILEINFO *>(value);
	EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
	EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), CLACKERY_TEST_VERSION_MAJOR);
	EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), CLACKERY_TEST_VERSION_MINOR);
	EXPECT_EQ(HIWORD(fixed->dwFileVersionLS), CLACKERY_TEST_VERSION_PATCH);
	EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
	EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
	EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

	// The strings are found through the translation table, as Explorer and .NET look them up.
	ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
	ASSERT_GE(length, 4u);
	const auto *translation = static_cast<const std::uint16_t *>(value);
	EXPECT_EQ(translation[0], 0x0409);
	EXPECT_EQ(translation[1], 1200);
	wchar_t block[64];
	std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
	EXPECT_EQ(string_value(info, std::wstring(block) + L"ProductVersion"), widen(CLACKERY_TEST_VERSION));
	EXPECT_EQ(string_value(info, std::wstring(block) + L"FileVersion"), widen(CLACKERY_TEST_VERSION));
	EXPECT_EQ(string_value(info, std::wstring(block) + L"ProductName"), L"Clackery");
}
