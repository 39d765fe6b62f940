#include "publish/PublishSettings.h"

void HtmlPublishSettings::Assign(HtmlPublishSettings& target, const HtmlPublishSettings& source) {
  target.display_width = source.display_width;
  target.display_height = source.display_height;
}
