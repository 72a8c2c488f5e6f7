#include "model/c3ds_model.h"

#include <cmath>

bool CanScale(const C3dsModel& model, float multiplier, platform::CMessageLog& log)
{
    for (const MeshObject& mesh : model.m_meshes)
    {
        for (const Vector3& v : mesh.Data().vertices)
        {
            if (!std::isfinite(v.x * multiplier) || !std::isfinite(v.y * multiplier) ||
                !std::isfinite(v.z * multiplier))
            {
                log.Error("Scaling by this factor takes the model's coordinates beyond the range that "
                          "the project file can hold");
                return false;
            }
        }
    }
    return true;
}

bool Scale(C3dsModel& model, float multiplier, platform::CMessageLog& log)
{
    // Every product is checked before any coordinate changes.
    if (!CanScale(model, multiplier, log))
        return false;
    for (MeshObject& mesh : model.m_meshes)
    {
        for (Vector3& v : mesh.Data().vertices)
        {
            v.x = v.x * multiplier;
            v.y = v.y * multiplier;
            v.z = v.z * multiplier;
        }
    }
    return true;
}
