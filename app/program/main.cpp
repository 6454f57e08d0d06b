// Selvark: the desktop manager for GSM handsets.
#include "program/program.h"

int main(int argc, char **argv)
{
    return program::runProgram(argc, argv);
}
