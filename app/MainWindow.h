// The main window of velmora-studio: every parameter control, the preview,
// the timeline, the output section and the menus.  The window holds no rules
// of its own: it mirrors the core's binding (anim/FormBinding), the preview
// schedule (render/PreviewSchedule), the key editing and timeline
// (anim/KeyEdit), the project files and the diagrams in its widgets.  The
// preview renders in a PreviewSession (studio/) on a worker thread: the
// window thread only sends requests and paints the pictures that come back.
// Modal dialogs and message boxes go through a DialogHost.
#pragma once

#include <QMainWindow>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "anim/FormBinding.h"
#include "anim/FrameRender.h"
#include "app/DialogHost.h"
#include "render/Pixe.h"
#include "render/PreviewSchedule.h"
#include "studio/EditHistory.h"
#include "studio/PreviewSession.h"
#include "studio/StudioDocument.h"

class QAction;
class QCheckBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSlider;
class QTimer;
class ColourPanel;
class PaintBox;
struct TOutputSection;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // SETTINGS_PATH is the settings file; HOST answers the dialogs.
  MainWindow(DialogHost& host, std::string settingsPath, QWidget* parent = nullptr);

  // The project being edited and the preview session.
  velmora::StudioDocument& Doc() { return doc_; }
  velmora::PreviewSession& Preview() { return *preview_; }
  ~MainWindow() override;
  // Waits until the preview session is idle and paints its last picture (a
  // test's way to see a preview request through).
  void WaitForPreview();

  // The fixed client area, menu bar excluded.
  static constexpr int ClientWidth = 913;
  static constexpr int ClientHeight = 423;

  // Opens a project as the File menu's Open does, without its dialog and
  // without asking about unsaved changes (the command line's project).
  void OpenProject(const QString& path);
  // The same after asking about unsaved changes (recent projects, drops).
  void OpenProjectAsking(const QString& path);
  // Reads PATH as the texture to mix with (File > テクスチャ画像を開く...
  // after its dialog); a file that cannot be read shows why and keeps the
  // texture in use.  Remembers the path in the settings file.
  bool OpenTexture(const QString& path);
  // The undo history of the document.
  const velmora::TEditHistory& History() const { return history_; }

  DialogHost& Host() { return host_; }
  // A still or movie export is running (on its worker thread).
  bool ExportRunning() const;
  const std::string& SettingsFile() const { return settingsPath_; }
  velmora::TPreviewSchedule& Schedule() { return schedule_; }
  const velmora::Bitmap24& PreviewImage() const { return previewImage_; }
  const velmora::Bitmap24& FilterImage() const { return filterImage_; }
  const velmora::Bitmap24& BlurImage() const { return blurImage_; }
  // Number of preview renders requested (full, filter-only or mix).
  int PreviewRenders() const { return previewRenders_; }

  // The controls' values as the core's binding sees them, and back.
  velmora::TFormState CollectForm() const;
  void ApplyForm(const velmora::TFormState& form);

  // Controls, named as on the form (objectName is the same).
  QLineEdit *ResX, *ResY, *OverSamplingEdBx, *Seed;
  QLabel* textureresolution;
  QRadioButton *PileModeAdd, *PileModeSub, *PileModeNorm;
  QCheckBox *Upper, *DisplayTextureLayer;
  QSlider *Brightness, *Complex, *Coverrate, *MinRadius, *MaxRadius, *Noise, *centertrackbar;
  QCheckBox *centerreverse_chkbx, *ClipBrightnessChkBx;
  QLineEdit *cxedbx, *cyedbx;
  QSlider *wMinRadius, *wMaxRadius, *wNoise, *WX, *WY;
  QLineEdit *wx1edbx, *wy1edbx, *wx2edbx, *wy2edbx;
  ColourPanel *StartColor, *EndColor;
  QSlider *StartColorAlpha, *EndColorAlpha;
  QSlider *ColorFilter_SlopeR, *ColorFilter_SlopeG, *ColorFilter_SlopeB, *ColorFilter_Slopea;
  QPushButton* ColorFilterReset;
  QLineEdit *BlurRadiusEdBx, *BlurSamplesEdbx;
  QSlider* BlurCurveBar;
  QLineEdit *BlurBrushRotXEdBx, *BlurBrushRotYEdBx, *BlurBrushRotZEdBx;
  QCheckBox* BlurDraft;
  QFrame* Bevel1;
  PaintBox *INternalCloudPreview, *ColorFilterPreview, *BlurCurveSample;
  QCheckBox* AutoUpdate;
  QPushButton* Redraw;
  QPushButton *ShowCloudPen, *ShowWarpPenR, *ShowWarpPenG, *ShowWarpPenB, *ShowBasePattern,
      *ShowWarpTemplate;
  QSlider* TimeLine;
  QLineEdit *MaxFrame, *CurFrame;
  QPushButton *PrevKey, *NextKey, *DeleteKeys, *Button2;
  QLineEdit *OutPutFilen, *OutPutAlpha;
  QPushButton *ReferOutPut, *ReferOutPutAlpha;
  QCheckBox* FromCurrentFrame;
  QPushButton *SavePicture, *SaveMovie, *Abort;
  QProgressBar *TProgressBar, *IProgressBar, *PixeProgressBar;
  QLabel *doneframe, *tolframe, *savefilename, *savealphaname;
  QPushButton *Okey, *Cancel;
  // Menu items.
  QAction *New1, *Open1, *O1, *SaveAs1, *Exit1, *JPEG1, *AVIA1;
  QAction *Undo1, *Redo1;
  QAction *OpenTexture1, *RemoveTexture1;  // File menu: the texture to mix with
  QMenu* Recent1;  // File > recent projects, rebuilt from the settings file
  // Timers: the preview debounce (50 ms) and the gauges (100 ms).
  QTimer *PreviewRenderInterval, *ProgressTimer;

  // Every control of the window (menu items are not controls).
  void DisableAllControls();
  void EnableAllControls();

 public slots:
  // Parameter controls.
  void FullRenderPreviewEvent();
  void FilterRenderPreviewEvent();
  void CheckBoxFullRenderClick();  // centerreverse_chkbx, ClipBrightnessChkBx
  void PileModeClick();
  void UpperClick();
  void DisplayTextureLayerClick();
  void PositionEditDone();  // Seed and the six position edits
  void SizeEditDone();      // ResX, ResY, OverSamplingEdBx
  void BlurEditDone();      // blur edits and BlurDraft
  void AutoUpdateClick();
  void AlphaBarChange();
  void StartColorClick();
  void EndColorClick();
  void ColorFilterResetClick();
  void RedrawClick();
  void ShowCloudPenClick();
  void ShowWarpPenRClick();
  void ShowWarpPenGClick();
  void ShowWarpPenBClick();
  void ShowBasePatternClick();
  void ShowWarpTemplateClick();
  // Timeline and keys.
  void TImeLineBarChange(int position);
  void MaxFrameExit();
  void CurFrameExit();
  void PrevKeyClick();
  void NextKeyClick();
  void DeleteKeysClick();
  void Button2Click();
  // Shutdown.
  void OkeyClick();
  void CancelClick();
  void Exit1Click();
  // File menu.
  void New1Click();
  void Open1Click();
  void O1Click();
  void SaveAs1Click();
  // Edit menu.
  void Undo1Click();
  void Redo1Click();
  void OpenTexture1Click();
  void RemoveTexture1Click();
  // Shows the document an undo or redo step gave back and renders it anew.
  void ShowRestoredState();
  // Output section and Settings menu (app/MainWindowOutput.cpp).
  void SavePictureClick();
  void SaveMovieClick();
  void AbortClick();
  void ReferOutPutClick();
  void ReferOutPutAlphaClick();
  void OutPutFilenChange();
  void ProgressTimerTimer();
  void JPEG1Click();
  void AVIA1Click();
  // The debounce tick.
  void PreviewRenderIntervalTimer();

 public:
  // Reads the controls into the frame record, keying changed parameters at the
  // current frame when KEYS is set (and no render runs).  A text that is not a
  // number shows its conversion error and stops the read there.
  bool ReadParams(bool keys);
  // Shows a record in the controls without running any handler, then redraws
  // both diagrams.
  void ShowParams(const velmora::TCloudFrameParams& params);
  // Both diagrams, from the controls' current values.
  void RedrawParameterPreviews();
  void RedrawBlurSample();
  // The preview entry points: nothing while automatic update is off;
  // otherwise a request to the preview session, which supersedes any render
  // still running.
  void FullPreviewIfAuto();
  void FilterPreviewIfAuto();
  void MixPreviewIfAuto();
  // Paints the preview session's newest picture, if one came in.
  void DrawPreview();
  // Caption: "NAME - 簡易雲模様動画生成～べるもら～" with the project's file name.
  void UpdateCaption();
  // Copies the timeline, frame edits, output names and switches of the
  // project model into their controls (no handler runs).
  void ShowProjectModel();
  // Records the document after a finished change as one undo step and
  // refreshes the caption's modified mark and the Edit menu.
  void CommitChange();
  // Before the document is dropped: asks Save / Discard / Cancel when there
  // are unsaved changes; true when the action may go on.
  bool ConfirmDropChanges();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend struct TOutputSection;  // the output section (app/OutputSection.h)
  void BuildControls();
  void BuildMenus();
  // Finds the control of every row of the parameter table by its name, and
  // makes one for a row whose control the layout does not place.
  void BindControls();
  QWidget* AddControl(const velmora::TParamInfo& row);
  void ConnectHandlers();
  void ConnectProjectHandlers();  // timeline, keys, File menu, shutdown
  void ConnectOutputHandlers();   // output section and Settings menu
  void FormShow();
  void RequestPreview(velmora::PreviewKind kind);
  void ChooseColour(ColourPanel* panel);
  void ShowReadError(const velmora::TFormReadError& error);
  void ShowTimeLineError(int result, const std::string& text);
  bool SaveProjectTo(const std::string& path);
  bool SaveProject();    // overwrite save; false when cancelled or failed
  bool SaveProjectAs();  // false when cancelled or failed
  // After New or Open: a fresh history, a clear progress panel.
  void StartDocument();
  // After the texture was opened or removed: label, menu, preview.
  void TextureChanged();
  void ClearProgressPanel();
  void RememberRecent(const std::string& path);
  void FillRecentMenu();
  void UpdateEditActions();
  void SyncModified();  // the document's flag and the caption from the history
  void BuildEditorActions();  // Edit menu, shortcuts, recent menu, commit points
  void ApplyToolTips();
  void FitNumberFields();
  void WriteAutoUpdateAndClose();
  TFileDialogOptions ProjectDialog(const QString& title) const;
  QString ProductName() const;

  DialogHost& host_;
  std::string settingsPath_;
  // The project being edited, the window's hooks into the core, and the
  // session that renders its previews on a worker thread.
  velmora::StudioDocument doc_;
  velmora::TWindowHooks hooks_;
  std::unique_ptr<velmora::PreviewSession> preview_;
  velmora::TPreviewSchedule schedule_;
  velmora::Bitmap24 previewImage_, filterImage_, blurImage_;
  bool shown_ = false;
  bool reading_ = false;  // a conversion error box is up: edits finishing meanwhile are ignored
  bool closeConfirmed_ = false;  // unsaved changes were settled before close()
  velmora::TEditHistory history_;
  int previewRenders_ = 0;
  std::unique_ptr<TOutputSection> output_;
  // The control of each row of the parameter table (and its second one),
  // and the grid of each section of the window.
  std::vector<QWidget*> controls_, controls2_;
  std::array<QGridLayout*, 7> sections_{};
  QMenu *fileMenu_ = nullptr, *editMenu_ = nullptr, *settingsMenu_ = nullptr;
};
