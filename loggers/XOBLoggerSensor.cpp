// The sensor data logger: hands a raw block unchanged to the sensor-data entry.
#include <xob/XOBLogger.h>

#include "loggers/LoggerSupport.h"

XOBLoggerSensor::XOBLoggerSensor(osal::Mutex& mutex) : XOBLoggerBase(mutex) {}

XOBLoggerSensor::~XOBLoggerSensor() = default;

void XOBLoggerSensor::Sensoric_SensorData_LogEntry(const unsigned char* data, long length) {
    // The block is neither copied nor checked: the entry takes what it records.
    xob::loggers::recordLocked(m_mutex, "Sensoric_SensorData_LogEntry", "update Sensoric_SensorData_LogEntry",
                               [&] { GXob::Sensoric_SensorData_LogEntry(data, static_cast<int>(length), false, 0); });
}
