// Runs GoogleTest inside a Qt application, as the module runs inside OBS's.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

// QT_QPA_PLATFORM when the caller gives none. Windows: the platform OBS itself runs on, which
// every Qt for Windows has; the Qt of OBS's Windows dependencies has no offscreen one.
constexpr const char *kDefaultPlatform =
#ifdef _WIN32
    "windows";
#else
    "offscreen";
#endif

} // namespace

int main(int argc, char **argv)
{
	if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
		qputenv("QT_QPA_PLATFORM", kDefaultPlatform);
	QApplication app(argc, argv);
	testing::InitGoogleTest(&argc, argv);
	return RUN_ALL_TESTS();
}
