// The sensor controller model: request assembly, the command set, the physical
// model behind the measurement and video replies, line timing and faults.
#include "sim/sensor_sim.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "link/commands.h"

namespace tarvo_sim {

namespace {

constexpr uint16_t kReplySync = 0x00AA;
constexpr size_t kFrameBytes = 36;
constexpr uint8_t kStrayByte = 0xFF;
constexpr uint8_t kExtraByte = 0xEE;
constexpr double kPi = 3.14159265358979323846;

// Start values of the three parameter sets, as the controller leaves the factory.
// 32-bit values travel low word first.
constexpr Set kFactorySet0 = {1, 0, 0, 1, 1, 1, 100, 100, 0, 0, 0, 0, 0, 37000, 0};
constexpr Set kFactorySensorSet = {500, 1, 50, 512, 1, 4096, 0, 0, 0, 0, 0, 1024, 0, 37000, 0};

void Put16(std::vector<uint8_t>& bytes, size_t pos, uint16_t value) {
  bytes[pos] = static_cast<uint8_t>(value >> 8);
  bytes[pos + 1] = static_cast<uint8_t>(value & 0xFF);
}

uint16_t Get16(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

uint16_t ClampU16(long long v) {
  return static_cast<uint16_t>(std::clamp<long long>(v, 0, 0xFFFF));
}

}  // namespace

SensorSim::SensorSim() {
  eeprom = {kFactorySet0, kFactorySensorSet, kFactorySensorSet};
  ram = eeprom;
  Seed(12345);
}

void SensorSim::Seed(uint32_t seed) {
  rng_.seed(seed);
  // Phases of the slow edge wander, fixed by the seed.
  std::uniform_real_distribution<double> phase(0.0, 2.0 * kPi);
  for (double& p : phase_) p = phase(rng_);
  // The edges continue from where they are, with the new wander.
  lastEdgeA_ = lastEdgeB_ = std::numeric_limits<double>::quiet_NaN();
}

// ---------------------------------------------------------------------------
// Bytes in

// A clock that jumps back by more than a moment has been restarted (a test
// switching between its virtual clock and the real one, say): everything the
// model has scheduled moves back with it, so replies keep their spacing.
void SensorSim::FollowClock(double now) {
  constexpr double kJump = 0.5;
  if (now < lastNow_ - kJump) {
    const double shift = now - lastNow_;
    for (Pending& p : out_) p.at += shift;
    lineFreeAt_ += shift;
    inputFreeAt_ += shift;
    lastByteAt_ += shift;
    lastStep_ += shift;
    // The edges continue from where they are on the new timeline.
    lastEdgeA_ = lastEdgeB_ = std::numeric_limits<double>::quiet_NaN();
    lastNow_ = now;
    return;
  }
  lastNow_ = std::max(lastNow_, now);
}

void SensorSim::Receive(const uint8_t* data, size_t count, double now) {
  FollowClock(now);
  if (paced_) {
    // The program's transmitter sends one byte after the other; a write that
    // starts while an earlier one is still on the line queues behind it.
    const double start = std::max(now, inputFreeAt_);
    for (size_t k = 0; k < count; ++k) ByteIn(data[k], start + (k + 1) * kByteTime);
    inputFreeAt_ = start + count * kByteTime;
  } else {
    for (size_t k = 0; k < count; ++k) ByteIn(data[k], now);
  }
}

void SensorSim::ResetLine() { partial_.clear(); }

// Takes one byte off the line. A request starts with the sync word 0x00 0x55;
// a data-block request (command 9) is also taken with any other header, since
// the program sends its header word there. Bytes that cannot start a request
// are dropped one at a time, so the controller finds the next request after
// garbage; an idle gap in the middle of a request drops the fragment.
void SensorSim::ByteIn(uint8_t byte, double at) {
  if (resyncGap_ > 0 && !partial_.empty() && at - lastByteAt_ > resyncGap_) partial_.clear();
  lastByteAt_ = at;
  if (partial_.empty()) partialStart_ = at;
  partial_.push_back(byte);

  for (;;) {
    // Drop leading bytes until the buffer can be the start of a request.
    while (!partial_.empty()) {
      const size_t n = partial_.size();
      if (n >= 2 && partial_[0] == 0x00 && partial_[1] == 0x55) break;  // sync word
      if (n < 4) break;  // undecided until the command word is there
      if (partial_[2] == 0x00 && partial_[3] == 0x09) break;  // data block, other header
      partial_.erase(partial_.begin());
    }
    if (partial_.size() < kFrameBytes) return;

    Request req;
    req.time = at;
    req.sync = Get16(&partial_[0]);
    req.command = Get16(&partial_[2]);
    req.argument = Get16(&partial_[4]);
    for (int i = 0; i < 15; ++i) req.words[i] = Get16(&partial_[6 + 2 * i]);
    partial_.erase(partial_.begin(), partial_.begin() + kFrameBytes);
    partialStart_ = at;
    Handle(req, at);
  }
}

// ---------------------------------------------------------------------------
// Bytes out

void SensorSim::Collect(double now, std::vector<uint8_t>& out) {
  FollowClock(now);
  // A small allowance, so that a byte due exactly at `now` is not missed by rounding.
  while (!out_.empty() && out_.front().at <= now + 1e-9) {
    out.push_back(out_.front().byte);
    out_.pop_front();
  }
}

double SensorSim::NextDue() const { return out_.empty() ? -1.0 : out_.front().at; }

void SensorSim::Send(const std::vector<uint8_t>& bytes, double readyAt) {
  ++answered_;
  if (faults_.silent) return;
  if (faults_.silentAfter >= 0 && replies_ >= faults_.silentAfter) return;
  if (faults_.dropEvery > 0 && answered_ % faults_.dropEvery == 0) return;

  const double ready = readyAt + answerDelay_ + std::max(0.0, faults_.lateReply);
  const double start = std::max(ready, lineFreeAt_);
  const size_t stray = static_cast<size_t>(std::max(0, faults_.strayBytes));
  const size_t total = bytes.size() + stray;
  for (size_t k = 0; k < total; ++k) {
    const uint8_t b = k < bytes.size() ? bytes[k] : kStrayByte;
    out_.push_back({paced_ ? start + (k + 1) * kByteTime : start, b});
    if (recordReplies_) replyBytes_.push_back(b);
  }
  lineFreeAt_ = paced_ ? start + total * kByteTime : start;
  if (!requests_.empty()) requests_.back().replyEnd = lineFreeAt_;
  ++replies_;
}

std::vector<uint8_t> SensorSim::Frame(uint16_t sync, uint16_t command, uint16_t arg,
                                      const uint16_t* words, int nwords) {
  std::vector<uint8_t> f(kFrameBytes, 0);
  Put16(f, 0, sync);
  Put16(f, 2, command);
  Put16(f, 4, arg);
  for (int i = 0; i < nwords && i < 15; ++i) Put16(f, 6 + 2 * i, words[i]);
  return f;
}

// ---------------------------------------------------------------------------
// The command set

void SensorSim::Handle(const Request& req, double now) {
  if (requestLimit_ > 0 && requests_.size() >= requestLimit_) {
    const size_t drop = std::max<size_t>(1, requestLimit_ / 10);
    requests_.erase(requests_.begin(), requests_.begin() + std::min(drop, requests_.size()));
  }
  requests_.push_back(req);
  Step(now);
  const uint16_t arg = req.argument;

  switch (req.command) {
    case kCmdSendRam:       // store a set in RAM
    case kCmdSendEeprom: {  // store a set in EEPROM
      if (arg > 2) return;
      Set& dst = req.command == kCmdSendRam ? ram[arg] : eeprom[arg];
      dst = req.words;
      Send(Frame(kReplySync, req.command, arg, dst.data(), 15), now);
      return;
    }
    case kCmdFetchRam:       // return a set from RAM
    case kCmdFetchEeprom: {  // return a set from EEPROM
      if (arg > 2) return;
      const Set& src = req.command == kCmdFetchRam ? ram[arg] : eeprom[arg];
      Send(Frame(kReplySync, req.command, arg, src.data(), 15), now);
      return;
    }
    case kCmdEcho: {  // line check: the request comes back with the reply sync word
      const uint16_t sync = faults_.wrongEchoSync ? 0xAA00 : kReplySync;
      Send(Frame(sync, 5, arg, req.words.data(), 15), now);
      return;
    }
    case kCmdTeach: {  // teach: the edges seen now become the setpoints
      const uint16_t n = Pixels();
      if (edgeA >= 0 && edgeA < n) ram[1][3] = ClampU16(std::llround(edgeA));
      if (edgeB >= 0 && edgeB < n) ram[2][3] = ClampU16(std::llround(edgeB));
      const uint16_t words[2] = {ram[1][3], ram[2][3]};
      Send(Frame(kReplySync, 6, arg, words, 2), now);
      return;
    }
    case kCmdVersion: {  // firmware version: 72 raw bytes
      std::vector<uint8_t> v(72, 0);
      if (hw_.pcbtype == 0) {
        for (size_t i = 0; i < 36 && i < version_.size(); ++i)
          v[2 * i + 1] = static_cast<uint8_t>(version_[i]);
      } else {
        for (size_t i = 0; i < 72 && i < version_.size(); ++i)
          v[i] = static_cast<uint8_t>(version_[i]);
      }
      if (faults_.shortVersion) v.resize(71);
      Send(v, now);
      return;
    }
    case kCmdMeasure: {  // measurement: 16 words from byte 4
      const std::array<uint16_t, 16> w = Measure(true);
      std::vector<uint8_t> f(kFrameBytes, 0);
      Put16(f, 0, kReplySync);
      Put16(f, 2, faults_.wrongMeasurementEcho ? 0 : 8);
      for (int i = 0; i < 16; ++i) Put16(f, 4 + 2 * i, w[i]);
      Send(f, now);
      return;
    }
    case kCmdVideoBlock: {  // data block: 64 raw big-endian words
      const int selector = req.words[0];
      std::vector<uint8_t> v(128, 0);
      for (int i = 0; i < 64; ++i) Put16(v, 2 * i, VideoSample(selector, arg + i));
      if (faults_.shortVideo) v.resize(127);
      v.insert(v.end(), static_cast<size_t>(std::max(0, faults_.extraBytes)), kExtraByte);
      Send(v, now);
      return;
    }
    case kCmdHardware: {  // hardware information
      std::vector<uint8_t> f(kFrameBytes, 0);
      Put16(f, 0, kReplySync);
      Put16(f, 2, faults_.wrongHardwareEcho ? 0 : 10);
      const uint16_t fields[10] = {
          hw_.ccdtype,     hw_.ccdmaxpixel, hw_.ccdresolution, hw_.pcbtype,     hw_.ccdvirtpixel,
          hw_.ccdsubpixel, hw_.ccdpixB,     hw_.ccdpixE,       hw_.softversion, hw_.hwtype};
      for (int i = 0; i < 10; ++i) Put16(f, 4 + 2 * i, fields[i]);
      Put16(f, 24, VideoFullScale());  // ADC full scale, a word of its own
      Send(f, now);
      return;
    }
    case kCmdResetMaxMin: {  // reset the analog maximum and minimum
      anaMax = 0;
      const int mode = ram[0][0];
      anaMin = static_cast<uint16_t>((mode <= 1 ? Pixels() : 2 * Pixels()) - 1);
      const uint16_t words[2] = {anaMax, anaMin};
      Send(Frame(kReplySync, 11, arg, words, 2), now);
      return;
    }
    case kCmdClearXFlash: {  // clear the X-FLASH table
      xflash.fill(0);
      ++xflashClears;
      Send(Frame(kReplySync, 101, arg, nullptr, 0), now);
      return;
    }
    case kCmdWriteXFlash: {  // write 8 words into the X-FLASH table
      const uint16_t page = req.words[0];
      const uint16_t offset = arg;
      uint16_t words[10] = {offset, page, 0, 0, 0, 0, 0, 0, 0, 0};
      if (page >= 2 && page <= 9 && offset < 256) {
        const int index = (page - 2) * 256 + offset;
        for (int i = 0; i < 8 && index + i < static_cast<int>(xflash.size()); ++i) {
          xflash[index + i] = req.words[1 + i];
          words[2 + i] = xflash[index + i];
        }
      }
      Send(Frame(kReplySync, 102, offset, words, 10), now);
      return;
    }
    default:
      return;  // unknown commands are ignored
  }
}

// ---------------------------------------------------------------------------
// The physical model

uint16_t SensorSim::Pixels() const { return hw_.ccdvirtpixel == 0 ? 1 : hw_.ccdvirtpixel; }

uint16_t SensorSim::VideoFullScale() const {
  return (hw_.ccdtype == 1 && hw_.hwtype == 1024) ? 1024 : 256;
}

double SensorSim::Noise(double sigma) {
  if (frozen || sigma <= 0) return 0.0;
  std::normal_distribution<double> d(0.0, sigma);
  return d(rng_);
}

// Slow, smooth wander of an edge around its home position: two sines of
// different periods, about +/-30 virtual pixels in all.
double SensorSim::Wander(int sensor, double t) const {
  constexpr double kAmplitude = 30.0;
  const double p1 = sensor == 0 ? 31.0 : 37.0;
  const double p2 = sensor == 0 ? 8.7 : 11.3;
  const double* ph = &phase_[sensor == 0 ? 0 : 2];
  return kAmplitude *
         (0.65 * std::sin(2 * kPi * t / p1 + ph[0]) + 0.35 * std::sin(2 * kPi * t / p2 + ph[1]));
}

void SensorSim::Step(double now) {
  if (now < lastStep_) now = lastStep_;  // the model's time never runs backwards
  if (!frozen) {
    // An edge moved from outside since the last step becomes the new home.
    if (edgeA != lastEdgeA_) homeA_ = edgeA - Wander(0, lastStep_);
    if (edgeB != lastEdgeB_) homeB_ = edgeB - Wander(1, lastStep_);
    edgeA = homeA_ + Wander(0, now);
    edgeB = homeB_ + Wander(1, now);
    lastEdgeA_ = edgeA;
    lastEdgeB_ = edgeB;
  }
  lastStep_ = now;
}

std::array<uint16_t, 16> SensorSim::MeasurementWords() { return Measure(false); }

// The measurement words for the current edges. Mvalue follows the evaluation
// mode in RAM set 0, on the scale of the target the program compares it with:
//   0: edge B            (target setpoint B)
//   1: edge A            (target setpoint A)
//   2: 2N - (A + B)      (target 2N - (setpoint A + setpoint B))
//   3: N + (A - B)       (target N; deviation of edge A from edge B)
//   4: N + (A + B) - (setpoint A + setpoint B)   (target N)
// umValue is the setpoint in micrometres (set 1, second long) plus the
// deviation from the target times the scale factor of sensor A.
std::array<uint16_t, 16> SensorSim::Measure(bool commit) {
  const int n = Pixels();
  const double a = edgeA + Noise(0.6);
  const double b = edgeB + Noise(0.6);
  const bool seenA = a >= 0 && a < n;
  const bool seenB = b >= 0 && b < n;
  const long long aval = seenA ? std::llround(a) : 0;
  const long long bval = seenB ? std::llround(b) : 0;
  const long long spA = ram[1][3], spB = ram[2][3];
  const int mode = ram[0][0];

  long long m = aval, target = spA;
  switch (mode) {
    case 0:
      m = bval;
      target = spB;
      break;
    case 1:
      m = aval;
      target = spA;
      break;
    case 2:
      m = 2LL * n - (aval + bval);
      target = (2LL * n - (spA + spB)) & 0xFFFF;
      break;
    case 3:
      m = n + (aval - bval);
      target = n;
      break;
    case 4:
      m = n + (aval + bval) - (spA + spB);
      target = n;
      break;
    default:
      break;
  }
  const uint16_t mvalue = ClampU16(m);

  const uint32_t scale = ram[1][11] | (static_cast<uint32_t>(ram[1][12]) << 16);
  const uint32_t setUm = ram[1][13] | (static_cast<uint32_t>(ram[1][14]) << 16);
  const double um =
      static_cast<double>(setUm) +
      std::round((static_cast<double>(mvalue) - static_cast<double>(target)) * scale / 1024.0);
  const int32_t umValue = static_cast<int32_t>(std::clamp<double>(
      um, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
  const uint32_t umBits = static_cast<uint32_t>(umValue);

  // The analog output follows Mvalue within the range of the value axis.
  const long long top = (mode <= 1 ? n : 2LL * n) - 1;
  const uint16_t analog = ClampU16(std::min<long long>(mvalue, top));
  const uint16_t newMax = std::max(anaMax, analog);
  const uint16_t newMin = std::min(anaMin, analog);

  std::array<uint16_t, 16> w{};
  w[0] = static_cast<uint16_t>(aval);
  w[1] = static_cast<uint16_t>(bval);
  w[2] = mvalue;
  w[3] = static_cast<uint16_t>(umBits & 0xFFFF);
  w[4] = static_cast<uint16_t>(umBits >> 16);
  w[5] = poti;
  w[6] = seenA ? 1 : 0;
  w[7] = seenB ? 1 : 0;
  w[8] = seenA ? ClampU16(std::llround(peakWidthA + Noise(0.5))) : 0;
  w[9] = seenB ? ClampU16(std::llround(peakWidthB + Noise(0.5))) : 0;
  w[10] = newMax;
  w[11] = newMin;
  w[12] = static_cast<uint16_t>((measurements_ + 1) & 0xFFFF);  // frame counter
  w[13] = analog;                                               // analog output value
  w[14] = 0;
  w[15] = 0;  // input state: no input active
  if (commit) {
    anaMax = newMax;
    anaMin = newMin;
    ++measurements_;
  }
  return w;
}

// Video intensity along the line: a bright background, slightly darker
// towards the ends, and the shadow of the object beyond the edge. The
// transition is placed so that the signal crosses the sensor's video
// threshold (set 1/2 word 2, percent of full scale) exactly at the edge.
uint16_t SensorSim::VideoSample(int selector, int index) {
  const int n = Pixels();
  const int fs = VideoFullScale();
  if (index < 0) return 0;
  const double x = static_cast<double>(index) * n / 128.0;
  if (x >= n) return 0;
  if (selector == 2) return static_cast<uint16_t>(std::min(fs - 1, index * fs / 128));
  if (selector != 0 && selector != 1) return 0;

  const double edge = selector == 0 ? edgeA : edgeB;
  const double width = selector == 0 ? peakWidthA : peakWidthB;
  const double thresholdPct = ram[selector == 0 ? 1 : 2][2];
  auto bright = [&](double px) {
    const double u = 2.0 * px / n - 1.0;
    return fs * (0.82 - 0.10 * u * u);
  };
  const double dark = fs * 0.06;
  const double w = 8.0 + std::max(0.0, width);
  const double q =
      std::clamp((thresholdPct * fs / 100.0 - dark) / (bright(edge) - dark), 0.05, 0.95);
  const double centre = edge - w * std::log(1.0 / q - 1.0);
  const double z = std::clamp((x - centre) / w, -60.0, 60.0);
  const double s = 1.0 / (1.0 + std::exp(z));
  const double v = dark + (bright(x) - dark) * s + Noise(fs * 0.012);
  return static_cast<uint16_t>(std::clamp<long>(std::lround(v), 0, fs - 1));
}

}  // namespace tarvo_sim
