#include "app/TallowindApp.h"

int main(int argc, char** argv)
{
    return TallowindApp::main(argc, argv);
}
