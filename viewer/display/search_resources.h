/* Resource ids of the Search dialog: shared by the resource scripts and the code. */
#ifndef KV_SEARCH_RESOURCES_H
#define KV_SEARCH_RESOURCES_H

#define IDD_SEARCH 180

#define IDC_SEARCH_LABEL 1701
#define IDC_SEARCH_TYPE 1702
#define IDC_SEARCH_VALUE 1703
#define IDC_SEARCH_ADD 1704
#define IDC_SEARCH_DEL 1705
#define IDC_SEARCH_CLEAR 1706
#define IDC_SEARCH_DEFAULT 1707
#define IDC_SEARCH_LIST 1708
#define IDC_SEARCH_PASS 1709
#define IDC_SEARCH_PASS_SPIN 1710
#define IDC_SEARCH_START 1711
#define IDC_SEARCH_END 1712

/* Texts of the dialog's lists */
#define IDS_SEARCH_BUFFER_HEAD 2240
#define IDS_SEARCH_BUFFER_TAIL 2241
#define IDS_SEARCH_TYPE_HEX 2242 /* Hex, Dec, Oct, Bin, Asc: 2242-2246 */
#define IDS_SEARCH_COLUMN_LABEL 2247
#define IDS_SEARCH_COLUMN_VALUE 2248
#define IDS_SEARCH_COLUMN_TYPE 2249

#endif
