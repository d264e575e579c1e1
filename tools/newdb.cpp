// tiv-newdb PATH: makes a new, empty database for the program.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QTextStream>

#include "storage/Schema.h"

int main(int argc, char* argv[])
{
    // The database and its folder are the owner's alone from the moment they exist.
    ::umask(077);
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        err << "usage: tiv-newdb PATH\n"
               "Creates a new, empty Tiv database at PATH (normally data/tiv.dat in the working directory).\n";
        return 2;
    }
    QString error;
    if (!Schema::CreateDatabase(args[1], &error)) {
        err << "tiv-newdb: " << error << "\n";
        return 1;
    }
    QTextStream(stdout) << "tiv-newdb: created " << args[1] << "\n";
    return 0;
}
