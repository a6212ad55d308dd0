#pragma once
// Copying the template workbook to the export's target, replacing an existing file.
#include <QString>

// programFolder + "Forms/Table1.xls".
QString TemplateWorkbookPath(const QString& programFolder);

// Copies `templatePath` to `target`: missing folders of the target's path are created, the
// bytes are copied in chunks into a file beside the target that is renamed over it when
// complete, and the copy takes the template's modification time. A read-only target is not made
// writable. Fails with "Cannot open file <template>", "Cannot create file <target>" (a folder
// that cannot be made, a read-only target, a target that is a folder), "Stream read error" or
// "Stream write error"; on failure the target is as it was.
void CopyTemplate(const QString& templatePath, const QString& target);
