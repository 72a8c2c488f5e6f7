#pragma once

// The application: runs the main dialog once, modally, and ends with it.
// No command line, no stored settings.
class CConverterApp
{
public:
    // Runs the main dialog; false, so that the application ends with it.
    bool InitInstance();
};

extern CConverterApp theApp;
