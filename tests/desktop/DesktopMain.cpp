// The desktop tests run in one QApplication on the offscreen platform, so they
// need neither a display nor a window manager.
#include <gtest/gtest.h>

#include <QApplication>

#if defined(__SANITIZE_THREAD__)
// Debian's Qt is not built with ThreadSanitizer, so the synchronisation inside
// it (its thread pool, the file dialog's gatherer thread, wait conditions) is
// invisible and every hand-over between its threads reads as a race. None of
// those reports has a frame of ours where the race happens; the threads of our
// own code are checked without Qt in the other suites.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\n"
           "race:libQt6Gui.so\n"
           "race:libQt6Widgets.so\n";
}
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
