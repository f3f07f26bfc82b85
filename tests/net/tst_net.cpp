#include "suites.h"

#include <QCoreApplication>

#include <csignal>
#include <cstring>

// Runs every test class of the module. To pass QtTest options to one class only, name it first:
// tst_net SmtpSessionTest session_verdict
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // A send to a vanished peer must never raise SIGPIPE: keep its default action, which ends the process.
    std::signal(SIGPIPE, SIG_DFL);

    const struct
    {
        const char *name;
        int (*run)(int, char **);
    } suites[] = {{"WSockUtilsTest", runWSockUtilsTests},
                  {"EncodingTest", runEncodingTests},
                  {"SmtpSessionTest", runSmtpSessionTests}};

    int failures = 0;
    for (const auto &suite : suites) {
        if (argc > 1 && std::strcmp(argv[1], suite.name) == 0) {
            argv[1] = argv[0];
            return suite.run(argc - 1, argv + 1);
        }
    }
    for (const auto &suite : suites) {
        failures += suite.run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
