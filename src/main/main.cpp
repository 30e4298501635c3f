#include "main/program.h"

int main(int argc, char **argv)
{
    return worvane::RunProgram(argc, argv);
}
