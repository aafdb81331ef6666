// Application start-up: the whole application is the controller panel, run
// modally; when it closes, the application ends.
#pragma once

class CControllerApp {
public:
    // Runs the panel and returns once it has closed and been destroyed.
    void InitInstance();
};
