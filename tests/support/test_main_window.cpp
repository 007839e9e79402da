#include <QApplication>
#include <gmock/gmock.h>

// The window's test programs run with an application object on the offscreen platform, so widget
// tests never need a display and never wait for a person.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
