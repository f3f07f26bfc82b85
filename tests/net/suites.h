#pragma once

// Each test class of the net module runs from the one test program's main.
int runWSockUtilsTests(int argc, char **argv);
int runEncodingTests(int argc, char **argv);
int runSmtpSessionTests(int argc, char **argv);
