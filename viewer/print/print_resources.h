/* Resource ids of the Print and Clipboard Size dialogs: shared by the resource scripts and the code. */
#ifndef KV_PRINT_RESOURCES_H
#define KV_PRINT_RESOURCES_H

#define IDD_PRINT 460
#define IDD_CLIP_SIZE 461

/* Print: the option and label radio buttons carry the ids the settings store */
#define IDC_PRINT_FIT_PAPER 1145 /* 1145-1148: Fit to paper, Fit to Horz Size, Fit to Vert Size, Custom Size */
#define IDC_PRINT_FIT_HORZ 1146
#define IDC_PRINT_FIT_VERT 1147
#define IDC_PRINT_CUSTOM 1148
#define IDC_PRINT_ALL 1149
#define IDC_PRINT_PARTS 1150
#define IDC_PRINT_PRINTER 2301
#define IDC_PRINT_SELECT 2302
#define IDC_PRINT_HORZ 2303
#define IDC_PRINT_VERT 2304
#define IDC_PRINT_GRID 2305
#define IDC_PRINT_COLOR 2306
#define IDC_PRINT_OMIT 2307
#define IDC_PRINT_CLIPBOARD 2308
#define IDC_PRINT_TO_FILE 2309
#define IDC_PRINT_SIZE 2310
#define IDC_PRINT_BMP 2311
#define IDC_PRINT_START 2312
#define IDC_PRINT_END 2313

/* Clipboard Size */
#define IDC_CLIP_WIDTH 2320
#define IDC_CLIP_HEIGHT 2321

/* Texts without a number of their own */
#define IDS_PRINT_FILTER_TEXT 2380
#define IDS_PRINT_FILTER_BITMAP 2381
#define IDS_PRINT_FILTER_ALL 2382
#define IDS_PRINT_NO_PRINTER 2383
#define IDS_CLIP_HEIGHT 2390

#endif
