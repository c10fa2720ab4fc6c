#include "frontend/program.h"
#include "platform/platform.h"
#include "report/report.h"

int main(int argc, char** argv) {
    // A closed descriptor would be taken by the first file opened, and the
    // report would land in the CSV or the output file.
    qv::reopenClosedStandardStreams();
    qv::bufferStandardOutput();
    qv::Console console(stdout, stderr);
    console.setErrorsBuffered(qv::bufferStandardError());
    return qv::runProgram(argc, argv, console);
}
