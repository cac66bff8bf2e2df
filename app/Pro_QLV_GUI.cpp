// The program: one window over the front end the build chose, run until it
// closes. No toolkit here: the front end's run function sets up the
// windowing system and runs the loop.

#include "app/Unit_Form_QLV_GUI.h"
#include "app/Unit_QLV_MessageBox.h"
#include "frontend/Program.h"
#include "platform/ProgramTarget.h"
#include "platform/Target.h"
#include "platform/Text.h"

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    using namespace quelvo;

    // Without a registry of its own the program checks a Wine prefix or an
    // offline Windows installation. When none can be read, the scan runs on
    // an empty in-memory registry, so nothing is ever written.
    const platform::ProgramTarget target;
    if (target.Problem().empty()) {
        std::fprintf(stderr, "Quelvo: checking %s\n", platform::ToUtf8(platform::ActiveTarget().Description()).c_str());
        if (!target.Notice().empty())
            std::fprintf(stderr, "Quelvo: %s\n", platform::ToUtf8(target.Notice()).c_str());
    } else {
        std::fprintf(stderr, "Quelvo: checking an empty in-memory registry. %s\n",
                     platform::ToUtf8(target.Problem()).c_str());
    }

    frontend::TProgram program;
    program.Start = [&target](frontend::TFrontEnd& frontEnd) -> std::shared_ptr<void> {
        auto window = std::make_shared<app::TForm_QLVO_GUI>(frontEnd);
        window->Show();
        // Why nothing could be opened, or what the user must know about what
        // was: once, over the window, as soon as the loop runs.
        const std::u16string& message = target.Problem().empty() ? target.Notice() : target.Problem();
        if (!message.empty()) {
            frontEnd.Post([&frontEnd, owner = window->Window(), text = message] {
                app::func_ShowMessage(frontEnd, owner, text);
            });
        }
        return window;
    };
    program.ShowError = [](frontend::TFrontEnd& frontEnd, std::u16string_view message) {
        app::func_ShowError(frontEnd, nullptr, message);
    };
    return frontend::RunProgram(argc, argv, program);
}
