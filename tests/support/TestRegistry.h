#pragma once

// Lets one test executable per module run several Qt Test classes.
// Each test source registers its class with RZ_REGISTER_TEST; the shared
// main runs all of them, or only the class named by the first argument.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace TestRegistry {

struct Entry
{
    const char *name;
    std::function<std::unique_ptr<QObject>()> create;
};

std::vector<Entry> &entries();

struct Registrar
{
    Registrar(const char *name, std::function<std::unique_ptr<QObject>()> create)
    {
        entries().push_back({name, std::move(create)});
    }
};

int runAll(int argc, char **argv);

} // namespace TestRegistry

#define RZ_REGISTER_TEST(Class) \
    static TestRegistry::Registrar rzRegistrar_##Class(#Class, [] { return std::unique_ptr<QObject>(new Class); })
