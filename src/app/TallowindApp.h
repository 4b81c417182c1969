#pragma once

// The application entry: brings up Qt with no window of its own and hands
// the whole application to the one controller for the life of the process.
class TallowindApp {
public:
    static int main(int argc, char** argv);
};
