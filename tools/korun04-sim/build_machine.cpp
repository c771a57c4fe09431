#include "tools/korun04-sim/build_machine.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/machine_builder/machine_recipe.h"

bool ReadHostFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

int BuildMachine(const std::string& specPath, const std::string& saveDir, std::ostream& out, std::ostream& err) {
    std::string text;
    if (!ReadHostFile(specPath, text)) {
        err << "korun04-sim: cannot read the machine recipe " << specPath << "\n";
        return 2;
    }
    // A script the RECIPE names by a relative path lies beside the RECIPE.
    const std::filesystem::path folder = std::filesystem::path(specPath).parent_path();
    auto readBeside = [&folder](const std::string& path, std::string& content) {
        const std::filesystem::path p(path);
        return ReadHostFile((p.is_absolute() ? p : folder / p).string(), content);
    };
    try {
        std::unique_ptr<simwin::Machine> machine = machinebuilder::BuildFromRecipe(text, specPath, readBeside);
        machine->save(saveDir);
    } catch (const std::exception& e) {
        err << "korun04-sim: cannot build the machine: " << e.what() << "\n";
        return 2;
    }
    out << "built " << saveDir << " from " << specPath << "\n";
    return 0;
}
