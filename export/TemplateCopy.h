#pragma once
// Copying the template workbook into a working copy beside the export's target.
#include <QString>
#include <memory>

#include "base/ReplacingFile.h"
#include "base/Result.h"

// programFolder + "Forms/Table1.xlsx", or an operator's own "Forms/Table1.xls" in its place
// when there is no "Table1.xlsx".
QString TemplateWorkbookPath(const QString& programFolder);

// Copies `templatePath` into a working copy beside `target` (beside the file it names, when it
// is a symbolic link) and returns it finished: missing folders of the target's path are
// created, the bytes are copied in chunks, and the copy takes the template's modification time.
// The target itself is untouched until the working copy's Replace; the working copy goes with
// the returned object unless it replaced the target. Fails with "Cannot open file <template>",
// "Cannot create file <target>" (a folder that cannot be made, a target without write
// permission, a target that is a folder or no regular file), "Stream read error" or "Stream
// write error", leaving no working copy behind.
Result<std::unique_ptr<ReplacingFile>> CopyTemplate(const QString& templatePath,
                                                    const QString& target);
