/* Resource ids of the label dialogs: shared by the resource scripts and the code. */
#ifndef KV_LABEL_RESOURCES_H
#define KV_LABEL_RESOURCES_H

#define IDD_ADD_LABEL 170
#define IDD_CONFIGURE_LABEL 171
#define IDD_COMBINE_LABELS 172 /* also Arrange Labels */

/* Controls shared by Add Label and Configure Label */
#define IDC_LABEL_NAME 1501
#define IDC_LABEL_CHANNEL 1502
#define IDC_LABEL_CHANNEL_SPIN 1503
#define IDC_LABEL_COLOR_FIRST 1510 /* 16 colour buttons 1510-1525, colour index = id - 1510 */
#define IDC_LABEL_COLOR_LAST 1525

/* Add Label */
#define IDC_POD_A 1530 /* POD A..POD D: 1530-1533 */
#define IDC_ADD_LABEL_SET 1534
#define IDC_ADD_SINGLE_LABEL 1535
#define IDC_LABEL_TYPE 1536
#define IDC_DSO_RANGE 1537
#define IDC_DSO_PROBE_X1 1538
#define IDC_DSO_PROBE_X10 1539
#define IDC_DSO_AC 1544
#define IDC_DSO_BW_LIMIT 1545
#define IDC_DSO_SETTING 1546

/* Configure Label */
#define IDC_VALUE_TYPE 1540
#define IDC_SIGNAL_TYPE 1541
#define IDC_LABEL_INVERT 1542
#define IDC_LABEL_GRAY 1543
#define IDC_SPI_8BITS 1550
#define IDC_SPI_16BITS 1551
#define IDC_SPI_CS_LOW 1552
#define IDC_SPI_CS_HIGH 1553
#define IDC_SPI_RISING 1554
#define IDC_SPI_FALLING 1555
#define IDC_I2S_BITS 1556
#define IDC_UART_AUTO 1557
#define IDC_UART_BAUD 1558
#define IDC_UART_PROTOCOL 1559

/* Combine The Labels */
#define IDC_COMBINE_SOURCE 1560
#define IDC_COMBINE_DEST 1561
#define IDC_COMBINE_ADD 1562
#define IDC_COMBINE_REMOVE 1563
#define IDC_COMBINE_NAME 1564

/* Texts without a number of their own */
#define IDS_SIG_DIGITAL 990
#define IDS_SIG_UART 991
#define IDS_SIG_DSO 992
#define IDS_SIG_NORMAL 993
#define IDS_SIG_I2C 994
#define IDS_SIG_I2S 995
#define IDS_SIG_SPI 996
#define IDS_FORMAT_HEX 997 /* 997-1002: HEX DEC OCT BIN ASC, analog */
#define IDS_TYPE_DIGITAL 1003
#define IDS_TYPE_DSO 1004
#define IDS_ARRANGE_CAPTION 1005

#endif
