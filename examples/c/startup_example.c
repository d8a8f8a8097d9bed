/* Lists the machine-wide startup entries, disables the one named on the
   command line (in any case) and enables it again, then empties the system's
   Temp folders: through tarnwick-client.dll alone, with tarnwick-helper.exe
   beside it.
     MSVC:  cl startup_example.c tarnwick-client.lib
     MinGW: gcc startup_example.c -ltarnwick-client   (an app passes UTF-8 names) */
#include <stdio.h>
#include <string.h>

#include "tarnwick_client.h"

static int fail(tarnwick_client* client, tarnwick_status status) {
  fprintf(stderr, "%s: %s\n", tarnwick_status_name(status), tarnwick_last_error_message(client));
  tarnwick_client_destroy(client);
  return 1;
}

static void print_entries(const tarnwick_startup_list* list) {
  size_t i, count = tarnwick_startup_list_count(list);
  for (i = 0; i < count; ++i) {
    printf("%s\t%s\t%s\n", tarnwick_startup_list_name(list, i, NULL),
           tarnwick_startup_list_enabled(list, i) ? "on" : "off", tarnwick_startup_list_command(list, i, NULL));
  }
}

/* Disables the listed entry named `typed` in any case, lists again, and
   enables it again. */
static tarnwick_status disable_and_enable(tarnwick_client* client, const tarnwick_startup_list* list,
                                          const char* typed) {
  tarnwick_startup_list* after = NULL;
  size_t index = 0, length = 0;
  const char* name;
  tarnwick_status status = tarnwick_find_startup_entry(list, typed, strlen(typed), &index);
  if (status != TARNWICK_OK) {
    if (tarnwick_nearest_startup_entries(list, typed, strlen(typed), &index, 1) == 1) {
      fprintf(stderr, "no startup entry is named %s; nearest: %s\n", typed,
              tarnwick_startup_list_name(list, index, NULL));
    }
    return status;
  }
  name = tarnwick_startup_list_name(list, index, &length); /* the entry's own name */
  if ((status = tarnwick_set_startup_enabled(client, name, length, 0)) != TARNWICK_OK) return status;
  printf("disabled %s\n", name);
  if ((status = tarnwick_list_startup(client, &after)) != TARNWICK_OK) return status;
  print_entries(after);
  tarnwick_startup_list_free(after);
  if ((status = tarnwick_set_startup_enabled(client, name, length, 1)) != TARNWICK_OK) return status;
  printf("enabled %s\n", name);
  return TARNWICK_OK;
}

int main(int argc, char** argv) {
  tarnwick_client* client = NULL;
  tarnwick_startup_list* list = NULL;
  tarnwick_options options = {0};
  tarnwick_status status;
  uint64_t freed = 0;
  int first = 1;
  options.struct_size = sizeof options;
  /* A development build only: its helper lies in a folder the user can write. */
  if (argc > 1 && strcmp(argv[1], "--allow-replaceable-helper") == 0) {
    options.allow_replaceable_helper = 1;
    first = 2;
  }
  status = tarnwick_client_create(&options, &client);
  if (status != TARNWICK_OK) {
    fprintf(stderr, "%s: %s\n", tarnwick_status_name(status), tarnwick_last_create_error(NULL));
    return 1;
  }

  if ((status = tarnwick_list_startup(client, &list)) != TARNWICK_OK) return fail(client, status);
  print_entries(list);
  if (argc > first) status = disable_and_enable(client, list, argv[first]);
  tarnwick_startup_list_free(list);
  if (status != TARNWICK_OK) return fail(client, status);
  status = tarnwick_clean_system(client, &freed);
  if (status != TARNWICK_OK) return fail(client, status);
  printf("freed %llu bytes\n", (unsigned long long)freed);
  tarnwick_client_destroy(client);
  return 0;
}
