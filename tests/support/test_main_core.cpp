#include <QCoreApplication>
#include <gmock/gmock.h>

// The test programs below the window run with a plain application object: no window system,
// nothing of Qt Gui or Widgets.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
