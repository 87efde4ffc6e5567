// The layout reader on arbitrary XML: a damaged or hostile file in the skin folder. The windows
// are built on the offscreen platform and never shown.
#include "FuzzFiles.h"
#include "ui/ControlUI.h"
#include "ui/DialogBuilder.h"
#include "ui/PaintManagerUI.h"

#include <QApplication>
#include <QWidget>

#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    // Images named by a layout are looked up in a folder that has none.
    CPaintManagerUI::SetResourcePath(FuzzFiles::Folder());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path =
        FuzzFiles::Put(QStringLiteral("layout.xml"),
                       QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    QWidget host;
    CPaintManagerUI manager(&host);
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(path, &manager));
    (void)builder.GetWidth();
    return 0;
}
