// The main of the test binaries that make windows: a QApplication on the offscreen platform (no
// display needed) with the build's skin folder as the toolkit's resource path.
#include "platform/AppFolder.h"
#include "ui/PaintManagerUI.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt WebEngine shares its GL context with the widgets; as root its helper needs no sandbox.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (getuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QApplication app(argc, argv);
    // The build's application folder: its shipped OrvaLogConf.ini and skin/, as the client has them.
    AppFolder::Override(QStringLiteral(EXAMORA_APP_DIR "/"));
    CPaintManagerUI::SetResourcePath(QStringLiteral(EXAMORA_SKIN_DIR));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
