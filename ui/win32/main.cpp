#include "application.h"
#include "startup.h"
#include "tform1.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (const std::optional<int> status = answerCommandLine())
        return *status;
    TApplication application;
    return application.RunProtected([&application] {
        application.Initialize();
        application.CreateForm(Form1);
        application.Run();
    });
}
