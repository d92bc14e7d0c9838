// The tuning console drawn into the application's text batch, with its
// background boxes drawn at once beneath the texts that the batch draws later.
#include "Font.h"
#include "TuningControl.h"

namespace
{
class BatchCanvas : public TuningControl::CConsoleCanvas
{
public:
    explicit BatchCanvas(TextBatch& batch) : m_Batch(batch) {}

    int GetLineHeight() override { return m_Batch.GetFont() ? m_Batch.GetFont()->GetLineHeight() : 0; }

    int AddText(const std::string& text, float x, float y, const float colour[4], float scale) override
    {
        const float position[2] = {x, y};
        return m_Batch.AddText(text, position, colour, scale);
    }

    void AddRect(int left, int top, int right, int bottom, const float colour[4]) override
    {
        DrawRect(left, top, right, bottom, colour[0], colour[1], colour[2], colour[3]);
    }

private:
    TextBatch& m_Batch;
};
} // namespace

void TuningControl::CManager::Render(TextBatch& batch, const CDrawParameters& params)
{
    BatchCanvas canvas(batch);
    RenderTo(canvas, params);
}
