// Program start: the COM apartment of the main thread, the application with its title, the zoom
// window as main form, the message loop; the apartment is left after the window is gone.
#include "app/autoset_exit_code.h"
#include "app/command_line.h"
#include "app/error_text.h"
#include "app/zoom_window.h"
#include "platform/com_apartment.h"
#include "platform/files.h"
#include "platform/gui.h"

int main() {
    ComApartment apartment;  // left at the end only when joining succeeded
    int exitCode = 0;
    {
        Application application;
        application.SetTitle(ApplicationTitle(ExecutablePath()));
        TForm1 form(IsAutosetMode(RawCommandLine()));
        application.CreateMainForm(form);
        application.Run();  // FormDestroy runs when the loop has ended
        // An autoset run tells a script or a scheduled task whether the zoom is on the camera.
        if (form.Autoset()) exitCode = static_cast<int>(AutosetExitCodeFor(form.Outcome()));
    }
    return exitCode;
}
