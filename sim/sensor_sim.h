// A model of the sensor controller behind the RS-232 line: it takes the bytes the
// program writes, answers every request as the controller does, and hands its
// reply bytes out as they would arrive on the line. Standard C++ only.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace tarvo_sim {

using Set = std::array<uint16_t, 15>;

// One request as the controller received it.
struct Request {
  double time = 0;  // when its last byte arrived
  uint16_t sync = 0;
  uint16_t command = 0;
  uint16_t argument = 0;
  Set words{};
  double replyEnd = -1;  // when the last byte of its reply is due (-1: no reply)
};

struct HardwareInfo {
  uint16_t ccdtype = 1;
  uint16_t ccdmaxpixel = 1024;
  uint16_t ccdresolution = 4096;
  uint16_t pcbtype = 0;
  uint16_t ccdvirtpixel = 4096;
  uint16_t ccdsubpixel = 4096;
  uint16_t ccdpixB = 1;
  uint16_t ccdpixE = 1024;
  uint16_t softversion = 303;
  uint16_t hwtype = 10055;  // 10000 + working range in mm
};

// Faults, each switchable on its own.
struct Faults {
  bool silent = false;                // answer nothing at all
  double lateReply = 0.0;             // extra seconds before every reply
  bool wrongEchoSync = false;         // echo reply starts 0xAA 0x00
  bool wrongHardwareEcho = false;     // hardware reply echoes 0 instead of 10
  int strayBytes = 0;                 // this many stray bytes after each reply
  bool shortVideo = false;            // data blocks of 127 bytes
  int extraBytes = 0;                 // this many extra bytes appended to each data block
  int dropEvery = 0;                  // drop every N-th reply (0 = never)
  int silentAfter = -1;               // go silent after this many replies (-1 = never)
  bool wrongMeasurementEcho = false;  // measurement replies echo 0 instead of 8
  bool shortVersion = false;          // firmware version replies of 71 bytes
};

class SensorSim {
 public:
  SensorSim();

  // Bytes written by the program; `now` is when the write happened (seconds).
  void Receive(const uint8_t* data, size_t count, double now);
  // Appends to `out` every reply byte whose arrival time is <= now.
  void Collect(double now, std::vector<uint8_t>& out);
  // Arrival time of the next reply byte still held back, or -1 when none.
  double NextDue() const;
  // Forgets a partly received request (the line was re-opened).
  void ResetLine();

  // Line timing: pace both directions at 19200 baud 8N1 (10 bit times per byte).
  void SetPacing(bool on) { paced_ = on; }
  bool Pacing() const { return paced_; }
  void SetAnswerDelay(double seconds) { answerDelay_ = seconds; }
  static constexpr double kByteTime = 10.0 / 19200.0;
  // A partly received request is forgotten when the line stays idle longer than
  // this many seconds before its next byte (0 = never).
  void SetResyncGap(double seconds) { resyncGap_ = seconds; }
  // Restarts the noise and wander generator (values are reproducible for a given seed).
  void Seed(uint32_t seed);

  Faults& faults() { return faults_; }
  HardwareInfo& hardware() { return hw_; }
  // Firmware version text (at most 36 characters for board type 0, 72 otherwise).
  void SetVersionText(const std::string& text) { version_ = text; }
  const std::string& VersionText() const { return version_; }

  // Memory of the controller.
  std::array<Set, 3> ram{};
  std::array<Set, 3> eeprom{};
  std::array<uint16_t, 2048> xflash{};  // pages 2..9, 256 words each
  int xflashClears = 0;

  // Physical model: edge positions in virtual pixels, peak widths, noise.
  double edgeA = 1000.0, edgeB = 1200.0;
  bool frozen = false;  // edges stand still, no noise (exact values for tests)
  uint16_t anaMax = 0, anaMin = 0xFFFF;
  double peakWidthA = 12.0, peakWidthB = 12.0;  // in virtual pixels
  uint16_t poti = 50;                           // tolerance set on the controller's potentiometer
  // Current measurement words as the next measurement reply would carry them.
  std::array<uint16_t, 16> MeasurementWords();
  // Video intensity of sample `index` (pixel index * N / 128) for data selector
  // 0 (sensor A), 1 (sensor B) or 2 (test ramp); 0 for any other selector or
  // for samples beyond the end of the line.
  uint16_t VideoSample(int selector, int index);
  // Full scale of the video signal: 1024 when the hardware says so, else 256.
  uint16_t VideoFullScale() const;
  // Number of measurement replies produced so far.
  int Measurements() const { return measurements_; }

  // Every request received, oldest first. A model that runs for hours (the
  // program's built-in simulator) keeps only the latest `limit` of them.
  const std::vector<Request>& requests() const { return requests_; }
  void SetRequestLimit(size_t limit) { requestLimit_ = limit; }
  void ClearRequests() { requests_.clear(); }
  int RepliesSent() const { return replies_; }
  // Every byte put on the line towards the program, in order, while switched
  // on (off by default: a model that runs for hours keeps nothing).
  void RecordReplyBytes(bool on) { recordReplies_ = on; }
  const std::vector<uint8_t>& replyBytes() const { return replyBytes_; }

 private:
  bool recordReplies_ = false;
  std::vector<uint8_t> replyBytes_;
  void Handle(const Request& req, double now);
  void Send(const std::vector<uint8_t>& bytes, double readyAt);
  std::vector<uint8_t> Frame(uint16_t sync, uint16_t command, uint16_t arg, const uint16_t* words,
                             int nwords);
  void Step(double now);  // moves the physical model to time `now`
  void ByteIn(uint8_t byte, double at);
  void FollowClock(double now);  // keeps the timeline when the caller's clock restarts
  std::array<uint16_t, 16> Measure(bool commit);
  double Noise(double sigma);
  double Wander(int sensor, double t) const;
  uint16_t Pixels() const;

  bool paced_ = false;
  double answerDelay_ = 0.0;
  Faults faults_;
  HardwareInfo hw_;
  std::string version_ = "TARVO-LT-MS V3.03";
  std::vector<uint8_t> partial_;
  double partialStart_ = 0;
  struct Pending {
    double at;
    uint8_t byte;
  };
  std::deque<Pending> out_;
  double lineFreeAt_ = 0;  // when the controller's transmitter is free again
  std::vector<Request> requests_;
  int replies_ = 0;
  int answered_ = 0;
  double lastStep_ = 0;
  std::mt19937 rng_{12345};
  double resyncGap_ = 0.08;
  double lastByteAt_ = 0;
  double inputFreeAt_ = 0;  // when the program's transmitter is free again
  int measurements_ = 0;
  double lastNow_ = -1e300;  // latest time a caller handed in
  size_t requestLimit_ = 200000;
  // Slow wander of the edges: the position the wander is added to, and the
  // value last written, so that an edge set from outside becomes the new home.
  double homeA_ = 0, homeB_ = 0;
  double lastEdgeA_ = -1e300, lastEdgeB_ = -1e300;
  double phase_[4] = {0, 0, 0, 0};
};

}  // namespace tarvo_sim
