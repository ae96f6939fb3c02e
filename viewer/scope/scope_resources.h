/* Resource ids of scope stacking: shared by the resource scripts and the code. */
#ifndef KV_SCOPE_RESOURCES_H
#define KV_SCOPE_RESOURCES_H

#define IDD_DSO_STACK 334
#define IDC_DSO_BRAND 1360
#define IDC_DSO_OK 1361
#define IDC_DSO_CANCEL 1362
#define IDC_DSO_RATE 1363
#define IDC_DSO_HEIGHT 1364
#define IDC_DSO_DELAY 1365
#define IDC_DSO_TRIG_POS 1366
#define IDC_DSO_IP 1369
#define IDC_DSO_SR_TYPE 1371

#define IDS_DSO_STACK_OMBIX 299
#define IDS_DSO_STACK_TEK 300
#define IDS_DSO_BAD_RATE 301
#define IDS_DSO_POS_12 302
#define IDS_DSO_POS_RANGE 303
#define IDS_DSO_BRAND 304
#define IDS_DSO_INSTALL_VISA 309
/* List texts: brands 0-5, sampling types 0-4, heights 0-1 */
#define IDS_DSO_BRAND_FIRST 3340
#define IDS_DSO_SR_FIRST 3350
#define IDS_DSO_FIT_FIRST 3360

#endif
