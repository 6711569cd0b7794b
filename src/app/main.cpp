#include "commandline.h"
#include "zemparol.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    zemparol program;
    return program.run(argumentsOf(platformCommandLine()));
}
