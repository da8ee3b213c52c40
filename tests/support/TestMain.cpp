#include "TestRegistry.h"

#ifdef RZ_GUI_TEST
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

int main(int argc, char **argv)
{
    Application app(argc, argv);
    return TestRegistry::runAll(argc, argv);
}
