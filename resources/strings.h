/* String table of the library. Plain defines only: read by the resource compiler and by C++. */
#ifndef KOVZAFT2_RESOURCES_STRINGS_H
#define KOVZAFT2_RESOURCES_STRINGS_H

/* The one device name the library lists. */
#define IDS_DEVICE_NAME 4700
#define STR_DEVICE_NAME "ZAFT Drivers"

#endif
