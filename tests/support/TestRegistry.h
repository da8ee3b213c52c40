#pragma once

// One test executable per module runs several Qt Test classes: each source
// registers its classes with RZ_REGISTER_TEST; "tst_x Class [args]" runs one.

#include <QObject>

namespace TestRegistry {

struct Entry
{
    const char *name;
    QObject *(*create)();
    bool onlyWhenNamed = false; // needs a setting of its own, e.g. a platform
};

void add(const Entry &entry);
int runAll(int argc, char **argv);

struct Registrar
{
    explicit Registrar(const Entry &entry) { add(entry); }
};

} // namespace TestRegistry

#define RZ_REGISTER_TEST(Class) \
    static TestRegistry::Registrar rzRegistrar_##Class({#Class, []() -> QObject * { return new Class; }})

// A class that runs only when named on the command line.
#define RZ_REGISTER_NAMED_TEST(Class) \
    static TestRegistry::Registrar rzRegistrar_##Class({#Class, []() -> QObject * { return new Class; }, true})
