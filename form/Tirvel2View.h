// The configuration form: the one in-memory model of the device's
// configuration (60 item rows and the identity fields) and every handler of the
// device work. It talks to its window only through the window layer, so the same
// view runs behind the desktop app, behind tirvelctl and in tests.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "framework/DataExchange.h"
#include "framework/FormView.h"
#include "framework/RichEditCtrl.h"
#include "serial/ComPort.h"

// Connection states, reported to the main frame.
inline constexpr int kStateIdle = 0;
inline constexpr int kStateConnecting = 1;
inline constexpr int kStateConnected = 2;
inline constexpr int kStateAwaitingLoader = 3;
inline constexpr int kStateLoaderDialogue = 4;
inline constexpr int kStateDebugLog = 5;

// Takes the debug log in the pane's place, for a host that streams a log
// without end and cannot hold all of it (tirvelctl log). It gets what the pane
// would: the bytes of a chunk, or the erase of the last character.
class CLogFollower {
public:
    virtual ~CLogFollower() = default;
    virtual void Append(std::string_view bytes) = 0;
    virtual void EraseLastCharacter() = 0;
};

class CTirvel2View : public fw::CFormView {
public:
    static constexpr int kItemRows = 60;

    CTirvel2View();
    ~CTirvel2View() override;

    // --- message map ---
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override;

    // --- set-up and the panes ---
    void OnInitialUpdate() override;
    // One received chunk of device output (bytes up to the first zero byte); a
    // chunk that starts with backspace erases the last character instead.
    void AppendToLog(const char* chunk);
    void OnClearLog();
    void OnSaveLog();

    // --- connection control ---
    // Nothing known of a device: no items listed, no identity, echo unknown.
    void ForgetDevice();
    void OnStartConfig();
    void OnStopConfig();
    // wParam: the probe result; lParam: the connection it belongs to.
    fw::LRESULT OnProbeResult(fw::WPARAM wParam, fw::LPARAM lParam);
    // The state, reported to the main frame (except the loader dialogue).
    void SetConnectionState(int state);

    // --- parameter commands ---
    void OnModify();
    void OnRestore();
    void OnSettings();

    // --- firmware update and debug log ---
    void OnUpdateFirmware();
    void OnSelectFirmware();
    void OnShowDebugInfo();
    // Timer 1 polls the port (waiting for the loader, the loader dialogue, the
    // debug log); timer 2 is the limit for the loader's first line.
    void OnTimer(fw::UINT timerId);
    // The loader is ready: the transfer dialog with the firmware, then Stop.
    void StartFirmwareTransfer();

    // --- configuration files ---
    void OnExportConfig();
    // The file Export writes: the rows the device listed, in ascending order.
    std::string ExportedConfig() const;
    // The file chooser and the read; the bytes then go to ImportConfig.
    void OnImportConfig();
    // Import of a profile already read: the same boxes, rules and preset flag
    // as the button, for a caller that holds the bytes it will judge on.
    void ImportConfig(std::string_view bytes);
    // The connected device's IMEI asked once more, as the connection asks it,
    // touching nothing: null when no whole answer came.
    std::optional<std::string> QueryImei();
    // Writes a file the operator chose (Export, Save Log, Save), or says in a
    // box why not; true when written.
    bool WriteChosenFile(const std::string& path, std::string_view bytes);
    void OnTemplateConfig();
    void OnClearConfig();

    // The item table. Every operation takes the item number 1..60; a number
    // outside that range has no row and is ignored (reads give empty text).
    // Set and Get touch only the members; the caller runs the display exchange.
    void SetItemLabel(int n, const std::string& name);  // label := "%d. %s"
    void SetItemCurrentValue(int n, const std::string& value);
    void SetItemNewValue(int n, const std::string& value);
    std::string GetItemLabel(int n) const;
    std::string GetItemCurrentValue(int n) const;
    std::string GetItemNewValue(int n) const;  // the member, not the edit's text
    // Sets the flag and the row's check box at once.
    void SetItemModify(int n, int flag);
    // Refresh exchange of the whole form first, then the member.
    int ReadItemModify(int n);
    std::string ReadItemNewValue(int n);
    // Whether the device listed the row since Start: an unlisted row holds a
    // placeholder, and nothing the device said is in it.
    void SetItemListed(int n, bool listed = true);
    bool IsItemListed(int n) const;
    // Every label back to "N. ItemN" in the user-interface language, and so
    // every row unlisted.
    void ResetItemLabels();
    // All 240 row controls.
    void ShowItemRows(int showCommand);
    // All 252 controls of the form, panes and log buttons included.
    void ShowAllControls(int showCommand);

    // "AT+GETDV=0\r" into the item table. False when the device did not answer:
    // the port is then closed and the failure reported.
    bool ReadDeviceConfiguration();
    // One answer line "N,name,value" without its line end; cut in place.
    void ParseConfigurationLine(char* line);

    const std::string& Imei() const { return m_strImei; }
    const std::string& Version() const { return m_strVersion; }

    // The model of the form and the connection, as the handlers share it.
    int m_nComPort = 1;
    // A device path that replaces "\\.\COM<n>" (tirvelctl --device); empty: the number.
    std::string m_strDevicePath;
    PortHandle m_hComPort = INVALID_HANDLE_VALUE;
    int m_nConnectState = kStateIdle;
    std::string m_strImei;         // control 1026
    std::string m_strVersion;      // control 1027
    fw::CRichEditCtrl m_ctrlHelp;  // control 1001
    fw::CRichEditCtrl m_ctrlLog;   // control 1142
    // When set, the log goes here and the pane stays empty.
    CLogFollower* m_pLogFollower = nullptr;

    // Timers of the firmware update and the debug log; 0 when not running.
    fw::UINT m_nPollTimer = 0;
    fw::UINT m_nStartupTimer = 0;
    // How long the device has to show its boot loader after "Update File".
    fw::UINT m_nLoaderLimitMs = 30000;
    // The firmware file chosen (native path); kept for every later update.
    std::string m_strFirmwarePath;
    // What the boot loader printed since the last prompt that was answered.
    std::string m_strPromptBuffer;

    // Raised from any thread by a host that stops the work while a handler
    // runs (tirvelctl's Ctrl+C, a station's cancel), where the posted Stop
    // would come only after the handler: Modify looks at it before every
    // item and Restore before it begins, so nothing new is written once it is
    // up. The item in progress finishes. Start lowers it.
    std::atomic<bool> m_bStopRaised{false};

    // The running probe thread, if any.
    std::thread m_probeThread;
    // Counts the connections started, so a probe result can be told apart from
    // one that belonged to a connection already stopped.
    std::uint32_t m_nConnection = 0;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    // Ends the probe thread of the current connection, if any; it ends within one
    // attempt once the stop flag is up.
    void JoinProbeThread();
    // Opens the chosen port (COM number or device path) for Start and the
    // firmware commands and sets its line up; says so and returns false when
    // the port cannot be opened.
    bool OpenPort(const ComPortSettings& line,
                  void (*setup)(PortHandle port, const ComPortSettings* settings));
    void ClosePort();
    // One timer tick's worth of input: up to 255 bytes into a zeroed 256-byte
    // buffer; returns the count.
    int CollectChunk(char (&buffer)[256]);
    void SendBreakInBurst();
    void DiscardPendingInput();
    void StopTimers();
    // One identity query of the connect sequence into its field; false when the
    // sequence ends here (the failure already handled).
    bool ReadIdentityField(const char* command, fw::UINT failureMessage, std::string& field);
    // The four file buttons of the form.
    void EnableFileButtons(bool enable);

    struct ConfigItem {
        std::string label;
        std::string currentValue;
        std::string newValue;
        int modify = 0;
        bool listed = false;
    };

    static bool IsItemNumber(int n) { return n >= 1 && n <= kItemRows; }

    std::array<ConfigItem, kItemRows + 1> items_{};  // index 0 unused
};
