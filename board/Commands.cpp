// The twenty commands: what each does to the board and what it answers.
#include "board/Frame.h"
#include "board/VirtualBoard.h"

#include <algorithm>
#include <string>

namespace vboard {

VirtualBoard::Reply VirtualBoard::dispatch(std::uint8_t code, const std::vector<std::uint8_t>& p) {
    Reply reply;
    bool refused = false;
    std::vector<std::uint8_t> data;
    bool hasData = false;
    std::uint8_t forced = 0;
    // What a command changed is kept in the image before the reply says so.
    // A board that cannot keep it undoes the change and refuses the command,
    // so that nobody is told a program is stored that a restart would lose.
    auto keep = [this, &refused](bool whole, const std::string& what) {
        try {
            if (whole) eeprom_->save();
            else eeprom_->commit();
            return true;
        } catch (const std::exception& e) {
            eeprom_->revert();
            refused = true;
            fault(what + " refused: the EEPROM image cannot be written (" + e.what() + ")");
            return false;
        }
    };

    switch (static_cast<Code>(code)) {
    case Code::DownloadBlock:
        if (p.size() == 130 && readU16(p, 0) < kPageCount) {
            std::copy(p.begin() + 2, p.end(), eeprom_->programArea().begin() + kPageSize * readU16(p, 0));
            if (!keep(false, "DownloadBlock of page " + std::to_string(readU16(p, 0)))) break;
            run_->programChanged();
            if (options_.busyWhileWriting) reply.busyMs = options_.pageWriteMs;
            else reply.writeMs = options_.pageWriteMs;
        } else {
            refused = true;
        }
        break;
    case Code::RunProgram:
        run_->run();
        forced = StatusBit::Running;
        break;
    case Code::StepProgram:
        run_->step();
        forced = StatusBit::Running;
        break;
    case Code::StopProgram:
        run_->stop();
        break;
    case Code::ResetProgram:
        run_->reset();
        break;
    case Code::SetBreakpoints:
        if (p.size() == 6)
            run_->setBreakpoints({readU16(p, 0), readU16(p, 2), readU16(p, 4)});
        else
            refused = true;
        break;
    case Code::GetStatus:
        break;
    case Code::GetVariables:
        for (int i = 0; i < 26; ++i) appendU32(data, static_cast<std::uint32_t>(run_->variable(i)));
        appendU16(data, run_->position());
        hasData = true;
        break;
    case Code::SetVariable:
        if (p.size() == 5 && p[0] < 26)
            run_->setVariable(p[0], static_cast<std::int32_t>(readU32(p, 1)));
        else
            refused = true;
        break;
    case Code::GetInputPrompt: {
        const std::string prompt = run_->inputPrompt();
        data.assign(prompt.begin(), prompt.end());
        hasData = true;
        break;
    }
    case Code::SendInput: {
        auto zero = std::find(p.begin(), p.end(), std::uint8_t{0});
        std::string answer(p.begin(), zero);
        inputAnswers_.push_back(answer);
        run_->provideInput(answer);
        break;
    }
    case Code::UploadBlock:
        if (p.size() == 2 && readU16(p, 0) < kPageCount) {
            appendU16(data, readU16(p, 0));
            const auto begin = eeprom_->programArea().begin() + kPageSize * readU16(p, 0);
            data.insert(data.end(), begin, begin + kPageSize);
            hasData = true;
        } else {
            refused = true;
        }
        break;
    case Code::EraseProgram:
        eeprom_->erase();
        if (!keep(true, "EraseProgram")) break;
        run_->programChanged();
        reply.busyMs = options_.eraseMs;
        break;
    case Code::GetStartupTime:
        data.assign(eeprom_->startupBlock().begin(), eeprom_->startupBlock().end());
        hasData = true;
        break;
    case Code::SetStartupTime:
        if (p.size() == kStartupBlockSize) {
            std::copy(p.begin(), p.end(), eeprom_->startupBlock().begin());
            keep(false, "SetStartupTime");
        } else {
            refused = true;
        }
        break;
    case Code::ChangeBaud:
        if (p.size() == 4 && isSupportedBaud(readU32(p, 0)))
            reply.newBaud = readU32(p, 0);
        else
            refused = true;
        break;
    case Code::SendCharacter:
        if (p.size() == 1)
            run_->sendCharacter(p[0]);
        else
            refused = true;
        break;
    case Code::SendAci: {
        std::string line(p.begin(), p.end());
        aciLines_.push_back(line);
        run_->executeAci(line);
        break;
    }
    case Code::GetVersion:
        data.assign(version_.begin(), version_.end());
        hasData = true;
        break;
    default:
        refused = true;
        break;
    }

    std::uint8_t status = static_cast<std::uint8_t>(run_->statusBits() | forced | (refused ? StatusBit::Refused : 0));
    reply.bytes = hasData ? replyWithData(status, data) : replyWithoutData(status);
    return reply;
}

}  // namespace vboard
