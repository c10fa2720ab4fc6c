#include "frontend/program.h"
#include "report/report.h"

int main(int argc, char** argv) {
    qv::initConsole();
    return qv::runProgram(argc, argv);
}
