// The hook thread on POSIX: without a system key source start fails with a stated error and the
// module runs on; the file-descriptor backend contract that the X11 source plugs into.

#include "capture/hook_thread.h"
#include "capture/key_backend.h"
#include "capture/key_message.h"
#include "capture/os_input.h"
#include "hook_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>

namespace clackery {
namespace {

// A key source fed through a pipe: each 3-byte packet is scancode, vk and hook flags.
std::atomic<int> pipe_read_fd{-1};
std::atomic<int> factory_calls{0};
constexpr std::uint32_t LOST_SOURCE_ERROR = 1167; // ERROR_DEVICE_NOT_CONNECTED

class PipeBackend : public KeyBackend {
public:
	explicit PipeBackend(int fd) : fd_(fd) {}
	int fd() const override { return fd_; }
	bool dispatch(KeyRing &ring, std::uint32_t &error) override
	{
		unsigned char packet[3];
		const ssize_t got = read(fd_, packet, sizeof(packet));
		if (got <= 0) {
			error = LOST_SOURCE_ERROR;
			return false;
		}
		record_captured_key(ring, record_from_hook(packet[1], packet[0], packet[2]));
		return true;
	}

private:
	int fd_;
};

std::unique_ptr<KeyBackend> open_pipe_backend(std::uint32_t &)
{
	++factory_calls;
	return std::make_unique<PipeBackend>(pipe_read_fd.load());
}

std::unique_ptr<KeyBackend> refuse_backend(std::uint32_t &error)
{
	++factory_calls;
	error = 5; // ERROR_ACCESS_DENIED
	return nullptr;
}

class PosixHook : public ::testing::Test {
protected:
	void SetUp() override { factory_calls = 0; }
	void TearDown() override
	{
		stop_hook_thread(*ring);
		set_key_backend_factory(nullptr);
		for (int fd : fds)
			if (fd >= 0)
				close(fd);
	}

	void use_pipe_backend()
	{
		ASSERT_EQ(pipe(fds), 0);
		pipe_read_fd = fds[0];
		set_key_backend_factory(open_pipe_backend);
	}

	void send(std::uint8_t scancode, std::uint8_t vk, std::uint8_t flags)
	{
		const unsigned char packet[3] = {scancode, vk, flags};
		ASSERT_EQ(write(fds[1], packet, sizeof(packet)), 3);
	}

	std::unique_ptr<KeyRing> ring = std::make_unique<KeyRing>();
	int fds[2] = {-1, -1};
};

// Without a display the platform's own source (X11) has nothing to open.
void forget_displays()
{
	unsetenv("DISPLAY");
	unsetenv("WAYLAND_DISPLAY");
}

TEST_F(PosixHook, WithoutAKeySourceStartFailsWithItsErrorAndLeavesNoThread)
{
	forget_displays();
	EXPECT_FALSE(start_hook_thread(*ring, true));
	EXPECT_FALSE(hook_running(*ring));
	EXPECT_EQ(hook_last_error(*ring), 1167u); // ERROR_DEVICE_NOT_CONNECTED: no X display
	EXPECT_FALSE(ring->hook.thread.joinable());
	EXPECT_EQ(ring->hook.thread_id.load(), 0u);
	EXPECT_FALSE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
	EXPECT_FALSE(start_hook_thread(*ring, false)) << "a second start returns the first result";
}

TEST_F(PosixHook, AfterAFailedStartTestModeCanStartOnceStopped)
{
	forget_displays();
	EXPECT_FALSE(start_hook_thread(*ring, true));
	stop_hook_thread(*ring);
	EXPECT_TRUE(start_hook_thread(*ring, false));
	EXPECT_EQ(hook_last_error(*ring), 0u);
}

TEST_F(PosixHook, TestModeNeverOpensTheKeySource)
{
	set_key_backend_factory(refuse_backend);
	ASSERT_TRUE(start_hook_thread(*ring, false));
	bump_generation(*ring, true);
	ASSERT_TRUE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
	ASSERT_EQ(wait_for_records(*ring, 1).size(), 1u);
	EXPECT_EQ(factory_calls.load(), 0);
}

TEST_F(PosixHook, KeySourceErrorIsReported)
{
	set_key_backend_factory(refuse_backend);
	EXPECT_FALSE(start_hook_thread(*ring, true));
	EXPECT_EQ(factory_calls.load(), 1);
	EXPECT_EQ(hook_last_error(*ring), 5u);
}

TEST_F(PosixHook, KeysOfTheSourceReachTheRingWithTheirFlags)
{
	use_pipe_backend();
	ASSERT_TRUE(start_hook_thread(*ring, true));
	EXPECT_EQ(hook_last_error(*ring), 0u);
	const std::uint64_t word = bump_generation(*ring, true);
	send(0x1D, 0xA3, HOOK_FLAG_EXTENDED | HOOK_FLAG_INJECTED);
	send(0x1D, 0xA3, HOOK_FLAG_EXTENDED | HOOK_FLAG_UP);
	const std::vector<KeyRecord> records = wait_for_records(*ring, 2);
	ASSERT_EQ(records.size(), 2u);
	EXPECT_EQ(records[0].scancode, 0x1Du);
	EXPECT_EQ(records[0].vk, 0xA3u);
	EXPECT_TRUE(records[0].extended);
	EXPECT_TRUE(records[0].down);
	EXPECT_TRUE(records[0].injected);
	EXPECT_FALSE(records[0].synthetic);
	EXPECT_TRUE(records[1].extended);
	EXPECT_FALSE(records[1].down);
	EXPECT_FALSE(records[1].injected);
	EXPECT_EQ(records[1].generation, word >> 1);

	// Test keys still go through the thread's queue beside the source.
	ASSERT_TRUE(post_test_key(*ring, test_key(0x39, 0x20, true)));
	const std::vector<KeyRecord> posted = wait_for_records(*ring, 1);
	ASSERT_EQ(posted.size(), 1u);
	EXPECT_TRUE(posted[0].synthetic);
}

TEST_F(PosixHook, StopWakesAThreadWaitingOnTheSource)
{
	use_pipe_backend();
	ASSERT_TRUE(start_hook_thread(*ring, true));
	stop_hook_thread(*ring);
	EXPECT_FALSE(ring->hook.thread.joinable());
	EXPECT_FALSE(hook_running(*ring));
}

TEST_F(PosixHook, LostSourceEndsTheThreadWithItsError)
{
	use_pipe_backend();
	ASSERT_TRUE(start_hook_thread(*ring, true));
	close(fds[1]);
	fds[1] = -1;
	const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
	while (ring->hook.thread_id.load() != 0 && std::chrono::steady_clock::now() < deadline)
		std::this_thread::sleep_for(std::chrono::milliseconds(1));
	EXPECT_FALSE(hook_running(*ring));
	EXPECT_EQ(hook_last_error(*ring), LOST_SOURCE_ERROR);
	EXPECT_EQ(ring->hook.thread_id.load(), 0u);
	EXPECT_FALSE(post_test_key(*ring, test_key(0x1E, 0x41, true)));
	stop_hook_thread(*ring); // joins the finished thread without posting
	EXPECT_FALSE(ring->hook.thread.joinable());
}

} // namespace
} // namespace clackery
