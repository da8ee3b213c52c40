#include "TestRegistry.h"

#include <QByteArray>
#include <QTest>
#include <cstdio>
#include <cstring>

namespace TestRegistry {

std::vector<Entry> &entries()
{
    static std::vector<Entry> list;
    return list;
}

int runAll(int argc, char **argv)
{
    // "tst_x ClassName [qtest options]" runs one class; the class name is
    // dropped from the arguments Qt Test sees.
    const char *only = nullptr;
    std::vector<char *> args(argv, argv + argc);
    if (argc > 1 && argv[1][0] != '-') {
        for (const Entry &e : entries()) {
            if (std::strcmp(e.name, argv[1]) == 0) {
                only = argv[1];
                args.erase(args.begin() + 1);
                break;
            }
        }
    }
    int failed = 0;
    for (const Entry &e : entries()) {
        if (only && std::strcmp(e.name, only) != 0)
            continue;
        std::unique_ptr<QObject> test = e.create();
        failed += QTest::qExec(test.get(), int(args.size()), args.data());
    }
    return failed == 0 ? 0 : 1;
}

} // namespace TestRegistry
