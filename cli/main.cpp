#include <QCoreApplication>

#include <cstdio>

// Placeholder until the command line front end exists.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::fputs("Usage: vidlume-cli [OPTIONS] VIDEO\n", stderr);
    return 2;
}
