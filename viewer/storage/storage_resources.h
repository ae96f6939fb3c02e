/* Resource ids of the waveform temporary-storage dialog: shared by the resource scripts and the code. */
#ifndef KV_STORAGE_RESOURCES_H
#define KV_STORAGE_RESOURCES_H

#define IDD_TEMP_STORAGE 315
/* The eight area pictures, in area order: main screen, compare area, storage 1 to 6. */
#define IDC_STORAGE_AREA_FIRST 1336
#define IDC_STORAGE_AREA_LAST 1343
#define IDC_STORAGE_COMPARE_ON 1353
#define IDC_STORAGE_COMPARE_OFF 1354
/* One picture per origin area (318 main screen, 319 compare area, 320-325 storage 1 to 6). */
#define IDB_STORAGE_FIRST 318

#endif
