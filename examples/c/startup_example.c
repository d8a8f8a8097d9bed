/* Lists the machine-wide startup entries, disables the one named on the
   command line and enables it again, then empties the system's Temp folders:
   through tarnwick-client.dll alone, with tarnwick-helper.exe beside it.
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

static tarnwick_status print_entries(tarnwick_client* client) {
  tarnwick_startup_entry* entries = NULL;
  size_t count = 0, i;
  tarnwick_status status = tarnwick_list_startup_entries(client, &entries, &count);
  if (status != TARNWICK_OK) return status;
  for (i = 0; i < count; ++i) {
    printf("%s\t%s\t%s\n", entries[i].name, entries[i].enabled ? "on" : "off", entries[i].command);
  }
  tarnwick_free_startup_entries(entries, count);
  return TARNWICK_OK;
}

int main(int argc, char** argv) {
  tarnwick_client* client = NULL;
  tarnwick_options options = {0};
  uint64_t freed = 0;
  int first = 1;
  options.struct_size = sizeof options;
  /* A development build only: its helper lies in a folder the user can write. */
  if (argc > 1 && strcmp(argv[1], "--allow-replaceable-helper") == 0) {
    options.allow_replaceable_helper = 1;
    first = 2;
  }
  tarnwick_status status = tarnwick_client_create(&options, &client);
  if (status != TARNWICK_OK) return fail(client, status);

  if ((status = print_entries(client)) != TARNWICK_OK) return fail(client, status);
  if (argc > first) {
    const char* name = argv[first];
    status = tarnwick_set_startup_enabled(client, name, strlen(name), 0);
    if (status != TARNWICK_OK) return fail(client, status);
    printf("disabled %s\n", name);
    if ((status = print_entries(client)) != TARNWICK_OK) return fail(client, status);
    status = tarnwick_set_startup_enabled(client, name, strlen(name), 1);
    if (status != TARNWICK_OK) return fail(client, status);
    printf("enabled %s\n", name);
  }
  status = tarnwick_clean_system(client, &freed);
  if (status != TARNWICK_OK) return fail(client, status);
  printf("freed %llu bytes\n", (unsigned long long)freed);
  tarnwick_client_destroy(client);
  return 0;
}
