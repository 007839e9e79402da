#include "batch/report_subject.h"

namespace quorrix::batch {

namespace {

class SubjectApplication : public importer::ProjectApplication {
  public:
    SubjectApplication(std::unique_ptr<importer::ProjectApplication> inner, ConsoleDialogs& dialogs)
        : inner_(std::move(inner)), dialogs_(dialogs) {}
    ~SubjectApplication() override { dialogs_.setSubject({}); }

    void fileOpen(const QString& path, bool readOnly) override {
        dialogs_.setSubject(path);
        inner_->fileOpen(path, readOnly);
    }
    void setVisible(bool on) override { inner_->setVisible(on); }
    int projectsCount() override { return inner_->projectsCount(); }
    std::unique_ptr<importer::ActiveProject> activeProject() override { return inner_->activeProject(); }
    void fileClose(int save) override { inner_->fileClose(save); }
    void quit() override { inner_->quit(); }

  private:
    std::unique_ptr<importer::ProjectApplication> inner_;
    ConsoleDialogs& dialogs_;
};

}  // namespace

std::unique_ptr<importer::ProjectApplication> ReportSubjectProject::create(const QString& progId) {
    std::unique_ptr<importer::ProjectApplication> app = inner_.create(progId);
    if (!app) return nullptr;
    return std::make_unique<SubjectApplication>(std::move(app), dialogs_);
}

}  // namespace quorrix::batch
