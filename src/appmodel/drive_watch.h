// The drive of the disc shown, watched for its disc taken out or another put in: the window tests it every
// two seconds, a TEST UNIT READY at a time, and says so or loads the new disc.
#pragma once

#include <cstdint>
#include <string>

class DriveWatch {
  public:
    enum class Event { None, NoDisc, NewDisc };

    // The disc of `device` was just shown: what the drive noticed up to now is that disc's.
    void Watch(uint16_t device);
    void Forget() { m_device = -1; }
    // One look at the drive, a single TEST UNIT READY: NoDisc once when it reports no medium (02/3A), NewDisc
    // once when it is ready after a medium change (06/28, looked at again the next time) or after having had
    // no disc or not being ready. An image drive is tested only after its medium was changed (its file does
    // not change on its own).
    Event Poll();
    int Device() const { return m_device; }
    // The drive as the status bar names it: its device path ("/dev/sr0"), or the image's file.
    const std::string& DriveName() const { return m_name; }

  private:
    int m_device = -1;
    std::string m_name;
    uint64_t m_changes = 0;    // the drive's medium changes when it was last looked at
    uint64_t m_generation = 0; // an image drive's media so far
    bool m_absent = false;     // no medium at the last look
    bool m_notReady = false;   // another NOT READY at the last look (spinning up)
};
