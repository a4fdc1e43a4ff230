// The "VERU" schema: its entry points and the exported ids of its classes and attributes.
#pragma once

#include <vavadoz.h>

#include "veru_api.h"

VERU_EXPORTS_BEGIN

OM_schema_s* VERU_boot_schema();
OM_schema_s* VERU_init_schema();
void VERU_init_methods(bool unused);
void VERU_init_ids();

extern int VERU_change_c;
extern int VERU_group_c;
extern int VERU_data_c;
extern int VERU_data_enum_c;
extern int VERU_data_color_c;
extern int VERU_data_range_c;
extern int VERU_range_elem_c;
extern int VERU_enum_elem_c;
extern int VERU_pref_interface_c;
extern int VERU_pref_c;
extern int VERU_pref_list_c;
extern int VERU_pref_string_list_c;
extern int VERU_pref_string_c;
extern int VERU_pref_real_c;
extern int VERU_pref_logical_c;
extern int VERU_pref_int_c;
extern int VERU_recorded_value_c;
extern int VERU_value_c;
extern int VERU_logical_value_c;
extern int VERU_string_value_c;
extern int VERU_real_value_c;
extern int VERU_int_value_c;
extern int VERU_module_root_c;

extern int ATT_bitmap__VERU9611;
extern int ATT_comment__VERU655;
extern int ATT_csh_text__VERU5472;
extern int ATT_data__VERU2242;
extern int ATT_desc__VERU5133;
extern int ATT_inclusive__VERU2600;
extern int ATT_loaded_value__VERU9075;
extern int ATT_locked__VERU1354;
extern int ATT_lower__VERU33;
extern int ATT_m_has_tabs__VERU5069;
extern int ATT_m_is_group__VERU9924;
extern int ATT_modification_date__VERU7773;
extern int ATT_name__VERU8887;
extern int ATT_objects__VERU352;
extern int ATT_option_name__VERU6477;
extern int ATT_parent__VERU7938;
extern int ATT_pref_set__VERU2866;
extern int ATT_scope__VERU8376;
extern int ATT_title__VERU1452;
extern int ATT_tree_root__VERU2883;
extern int ATT_unit__VERU6052;
extern int ATT_update_comment__VERU5433;
extern int ATT_update_lock__VERU5333;
extern int ATT_update_value__VERU1403;
extern int ATT_upper__VERU7582;
extern int ATT_value__VERU1281;
extern int ATT_values__VERU4702;
extern int ATT_ver__VERU8863;
extern int ATT_visibility_fn__VERU4161;

// Attributes of the object manager that the schema looks up by name.
extern int ATT_isa__VERU9747;
extern int ATT_om_flags__VERU8474;
extern int ATT_om_method_descrip__VERU6512;
extern int ATT_root_object__VERU9040;
extern int ATT_save_label__VERU4042;
extern int ATT_tag__VERU7286;

VERU_EXPORTS_END
