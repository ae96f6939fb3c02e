/* Resource ids of the serial-protocol and glitch trigger editors: shared by the resource scripts
   and the code. */
#ifndef KV_SERIAL_TRIGGER_RESOURCES_H
#define KV_SERIAL_TRIGGER_RESOURCES_H

#define IDD_UART_TRIGGER 335
#define IDD_GLITCH_TRIGGER 338
#define IDD_I2C_TRIGGER 340
#define IDD_SPI_TRIGGER 342
#define IDD_I2S_TRIGGER 345

#define IDC_SERIAL_CHECK 3          /* "Check Trig." */
#define IDC_I2S_PARAMETER 1021
#define IDC_GLITCH_SPIN 1085
#define IDC_SERIAL_PRE_TRIGGER 1167
#define IDC_UART_BAUD 1378
#define IDC_SERIAL_DATA_BITS 1379
#define IDC_UART_PARITY 1380
#define IDC_UART_STOP_BITS 1381
#define IDC_UART_IDLE_HIGH 1384
#define IDC_UART_IDLE_LOW 1385
#define IDC_UART_CHANNEL 1386
#define IDC_UART_AUTO_DETECT 1387
#define IDC_SERIAL_IF_TEXT 1388     /* 1388-1391 */
#define IDC_SERIAL_THEN_TEXT 1392   /* 1392-1395 */
#define IDC_SERIAL_IF 1405          /* 1405-1408 */
#define IDC_SERIAL_THEN 1409        /* 1409-1412 */
#define IDC_UART_ON_ERROR 1413
#define IDC_GLITCH_WIDTH 1415
#define IDC_SPI_CS_LOW 1430
#define IDC_SPI_CS_HIGH 1431
#define IDC_SPI_RISING 1432
#define IDC_SPI_FALLING 1433
#define IDC_SERIAL_FIRST_PIN 1435   /* SCK / Clock */
#define IDC_SERIAL_SECOND_PIN 1436  /* WS / Chip Select */
#define IDC_SERIAL_THIRD_PIN 1437   /* SDA / Data */
#define IDC_SPI_MSB 1438
#define IDC_SPI_LSB 1439

/* Texts without a number of their own */
#define IDS_CORRECT_TRIGGER_DATA 1047

#endif
