// The program's table of dialog templates, where CDialog finds a template by
// id as it would find a dialog resource.
#include "platform/dialog_template.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

struct TemplateTable {
    std::mutex mutex;
    std::map<UINT, std::shared_ptr<const DialogTemplate>> templates;
};

TemplateTable& Templates() {
    static TemplateTable table;
    return table;
}

}  // namespace

void AddDialogTemplate(DialogTemplate dialogTemplate) {
    TemplateTable& table = Templates();
    std::lock_guard<std::mutex> lock(table.mutex);
    const UINT id = dialogTemplate.id;
    table.templates[id] = std::make_shared<const DialogTemplate>(std::move(dialogTemplate));
}

std::shared_ptr<const DialogTemplate> FindDialogTemplate(UINT id) {
    TemplateTable& table = Templates();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.templates.find(id);
    return it == table.templates.end() ? nullptr : it->second;
}

}  // namespace platform
