// The least program that shows a page in Qt WebEngine: the yardstick for the client's start-up
// time, memory and idle CPU (bench_startup).
#include <QApplication>
#include <QUrl>
#include <QWebEngineView>

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    QWebEngineView view;
    view.resize(1200, 780);
    view.load(QUrl(QString::fromLocal8Bit(argc > 1 ? argv[1] : "about:blank")));
    view.show();
    return QApplication::exec();
}
