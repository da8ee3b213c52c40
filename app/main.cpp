#include "WindowRZ.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    WindowRZ w;
    w.show();
    return app.exec();
}
