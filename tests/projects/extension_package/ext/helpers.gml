#define ext_start
show_debug_message("init " + string(EXT_BASE) + " " + string(file_exists(temp_directory + "/ext_tools/readme.txt")))
#define ext_stop
show_debug_message("final")
#define ext_twice
return argument0 * 2 + argument_count
