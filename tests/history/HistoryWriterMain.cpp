// Test helper: inserts history rows into the given file until it is killed,
// printing the id of every insert that answered true, one per line, at once.
#include "history/VeskData.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <history file> <first id>\n", argv[0]);
        return 2;
    }
    TVeskDataMdl store(nullptr);
    if (!store.CreateEqHistoryDB(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    const long long first = std::atoll(argv[2]);
    for (long long id = first; id < first + 1000000; ++id) {
        TEqHistory h;
        h.EqID = QStringLiteral("%1").arg(id, 16, 10, QLatin1Char('0'));
        h.OutgoingTime = QStringLiteral("2016/04/14 21:26:34");
        h.EpicName = QStringLiteral("熊本県熊本地方");
        if (!store.InsertEqHistoryRecord(h)) {
            std::fprintf(stderr, "insert failed at %lld\n", id);
            return 1;
        }
        std::printf("%s\n", qPrintable(h.EqID));
        std::fflush(stdout);
    }
    return 0;
}
