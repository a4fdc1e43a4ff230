// The "VERU_VALIDATE" schema: its entry points and the exported ids of its classes and
// attributes. A host tool calls VERU_VALIDATE_init_schema before it validates definition files;
// the preferences module need not be started.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"

VERU_EXPORTS_BEGIN

OM_schema_s* VERU_VALIDATE_boot_schema();
OM_schema_s* VERU_VALIDATE_init_schema();
void VERU_VALIDATE_init_methods(bool unused);
void VERU_VALIDATE_init_ids();

extern int VERU_validate_result_c;
extern int VERU_validate_object_c;
extern int VERU_validate_root_c;
extern int VERU_validate_application_c;
extern int VERU_validate_category_c;
extern int VERU_validate_tab_c;
extern int VERU_validate_pref_c;
extern int VERU_validate_name_set_c;
extern int VERU_validate_name_file_map_c;

extern int ATT_node_nam__VERU_VALIDATE7884;
extern int ATT_filename__VERU_VALIDATE4852;
extern int ATT_current___VERU_VALIDATE4665;
extern int ATT_pref_nam__VERU_VALIDATE7310;
extern int ATT_dup_pref___VERU_VALIDATE262;
extern int ATT_app_name__VERU_VALIDATE9436;
extern int ATT_dup_app___VERU_VALIDATE2548;
extern int ATT_dom_node__VERU_VALIDATE5299;
extern int ATT_veru_roo__VERU_VALIDATE2847;
extern int ATT_error_co__VERU_VALIDATE3900;
extern int ATT_filename__VERU_VALIDATE2067;
extern int ATT_error_te__VERU_VALIDATE1776;

// Attributes of the object manager that the schema looks up by name.
extern int ATT_isa__VERU_VALIDATE9747;
extern int ATT_om_flags__VERU_VALIDATE8474;
extern int ATT_om_metho__VERU_VALIDATE6512;
extern int ATT_root_obj__VERU_VALIDATE9040;
extern int ATT_save_lab__VERU_VALIDATE4042;
extern int ATT_tag__VERU_VALIDATE7286;
extern int ATT_size__VERU_VALIDATE3485;
extern int ATT_table_ob__VERU_VALIDATE9044;
extern int ATT_count__VERU_VALIDATE5851;
extern int ATT_space__VERU_VALIDATE3698;

VERU_EXPORTS_END
