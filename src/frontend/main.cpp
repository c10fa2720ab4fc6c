#include "frontend/program.h"
#include "report/report.h"

int main(int argc, char** argv) {
    qv::bufferStandardOutput();
    qv::Console console(stdout);
    return qv::runProgram(argc, argv, console);
}
