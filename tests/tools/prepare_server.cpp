// Sets a server database up, or opens it, as the program does at its start: the schema script's test runs it
// as the owner and as the desk role (the password comes from PGPASSWORD, never the command line).
#include "store/database.h"
#include "store/template/templatedb.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv_prepare_server <libpq connection string>\n");
        return 2;
    }
    qv::Database db;
    QString error;
    if (!db.openServer(QString::fromUtf8(argv[1]), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    qv::ServerPreparation done;
    const qv::Result r = qv::prepareServerFromTemplate(db, &done);
    if (!r) {
        std::fprintf(stderr, "%s\n", qPrintable(r.error));
        return 1;
    }
    std::printf("%s\n", done.created ? "created" : "opened");
    return 0;
}
