#include "layout.h"

#include "folderrules.h"

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
    return layout;
}
