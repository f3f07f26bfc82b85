#include "layout.h"

#include "folderrules.h"
#include "savetemps.h"
#include "variable.h"

#include <cstdio>

DataLayout checkedDataLayout()
{
    DataLayout layout = programDataLayout();
    if (layout.refusal.isEmpty()) {
        layout.refusal = dataFolderRefusal(layout.folder);
    }
    return layout;
}

std::optional<DataLayout> commandLineDataLayout(const char *option)
{
    DataLayout layout = checkedDataLayout();
    if (!layout.refusal.isEmpty()) {
        std::fprintf(stderr, "eveluna %s: %s\n", option, layout.refusal.toLocal8Bit().constData());
        return std::nullopt;
    }
    // As at the window's start: an import cut off by a kill is finished, and what cut-off saves left
    // goes, before the option reads a record.
    removeStaleTemporaryFiles(layout.folder);
    return layout;
}

bool useCommandLineDataFolder(const char *option)
{
    const std::optional<DataLayout> layout = commandLineDataLayout(option);
    if (!layout) {
        return false;
    }
    Variable::initFileLocations(layout->folder);
    Variable::CreateAppDirOnSave = layout->createdOnSave;
    return true;
}
