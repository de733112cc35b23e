#include <QApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    std::fputs("velmor: not built yet beyond its foundation\n", stderr);
    QTimer::singleShot(0, &application, &QApplication::quit);
    return application.exec();
}
