// Calls from the loaders into the module: the host's hooks.
#pragma once

#include <veru.h>

// The host's create_object_hook; null when no hooks are registered.
OM_object* veru_call_create_object_hook(OM_object* owner, XERCES_DOM_node* element);
// The host's level_report_hook; nothing when no hooks are registered.
void veru_call_level_report_hook(int level, int flag);
